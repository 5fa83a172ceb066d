// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's random stream and its seed sources.
 */
#include <cstdint>
#include <functional>

namespace obr {

// ---------------------------------------------------------------------------------
// Random numbers

//! A source of 32-bit seeds: the clock in the program, a fixed sequence in tests.
using SeedSource = std::function<uint32_t()>;
//! Low 32 bits of the high-resolution clock.
SeedSource clockSeedSource();
//! Returns \a first, first + 1, first + 2, ... (reproducible runs).
SeedSource fixedSeedSource(uint32_t first);

//! The 32-bit linear congruential generator: seed := seed * 134775813 + 1, u = seed / 2^32.
class GenRandom {
public:
    explicit GenRandom(uint32_t seed = 0) : m_seed(seed) {}
    void setSeed(uint32_t seed) { m_seed = seed; }
    uint32_t seed() const { return m_seed; }
    //! Uniform in [0, 1).
    double next()
    {
        m_seed = m_seed * 134775813u + 1u;
        return double(m_seed) / 4294967296.0;
    }

private:
    uint32_t m_seed;
};

}   // namespace obr
