// SPDX-License-Identifier: MIT
#include "genetic_schedules.h"

#include <cmath>

namespace obr {

// ---------------------------------------------------------------------------------
// Schedules

double crossoverSchedule(int32_t i, int32_t N)
{
    return 0.45 * std::fabs(std::sin(1 - 8.0 * i / N));
}

double mutationSchedule(int32_t i, int32_t N)
{
    return 0.5 * std::fabs(std::sin(12.0 * i / N - 0.025));
}

bool copyDue(int32_t i, int32_t N)
{
    const double r = double(i) / N;
    return std::fabs(r - 0.8) < 0.0002 || std::fabs(r - 0.6) < 0.0002 ||
           std::fabs(r - 0.2) < 0.0002;
}

}   // namespace obr
