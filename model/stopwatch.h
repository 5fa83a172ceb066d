// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Wall time since a start, for the elapsed times in the log.
 */
#include <chrono>

namespace obr {

//! Measures the wall time from its construction.
class Stopwatch {
public:
    //! Seconds since the stopwatch was made.
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

}   // namespace obr
