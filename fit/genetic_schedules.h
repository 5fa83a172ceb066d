// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's schedules: crossover and mutation shares and the copy steps
 * by generation.
 */
#include <cstdint>

namespace obr {

// ---------------------------------------------------------------------------------
// Schedules

//! 0.45 * |sin(1 - 8 i / N)|
double crossoverSchedule(int32_t i, int32_t N);
//! 0.5 * |sin(12 i / N - 0.025)|
double mutationSchedule(int32_t i, int32_t N);
//! Whether generation i of N raises the copy request (i/N within 0.0002 of 0.2, 0.6, 0.8).
bool copyDue(int32_t i, int32_t N);

}   // namespace obr
