// SPDX-License-Identifier: MIT
#include "genetic_random.h"

#include <chrono>

namespace obr {

// ---------------------------------------------------------------------------------
// Random numbers

SeedSource clockSeedSource()
{
    return [] {
        const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        return uint32_t(uint64_t(ticks));
    };
}

SeedSource fixedSeedSource(uint32_t first)
{
    return [next = first]() mutable { return next++; };
}

}   // namespace obr
