// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Recorded failures drawn from the warranty model itself, for the tests and the
 * simulation study of the benchmark: a Poisson number N'·K of failures over the products'
 * lives, each at a Weibull time, recorded when it comes before an independent normal
 * warranty end. Thinning a Poisson process keeps it Poisson, so the recorded times are
 * exactly the process with intensity N'·K·f(t)·S_W(t).
 */
#include <cstdint>
#include <vector>

namespace obr::mle {

struct SimParams {
    double A = 1e-3, B = 1, K = 1;
    double Nprived = 1000;
    double Sred = 1000, SKO = 250;
    uint64_t seed = 1;
    double resolution = 0;   //!< round the times to this step (0: keep them exact)
};

//! The recorded failure times, sorted. A time rounded to 0 is moved up one step.
std::vector<double> simulateFailures(const SimParams &p);

}   // namespace obr::mle
