// SPDX-License-Identifier: MIT
#include "simulate.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace obr::mle {

std::vector<double> simulateFailures(const SimParams &p)
{
    std::mt19937_64 rng(p.seed);
    std::uniform_real_distribution<double> unif(0.0, 1.0);
    std::normal_distribution<double> warranty(p.Sred, p.SKO);
    std::poisson_distribution<long long> count(p.Nprived * p.K);
    const long long m = count(rng);
    std::vector<double> t;
    t.reserve(size_t(std::min<long long>(m, 50'000'000)));
    for (long long i = 0; i < m; ++i) {
        // Weibull time by inversion: F(t) = 1 − exp(−A·t^B).
        const double u = unif(rng);
        const double ti = std::pow(-std::log1p(-u) / p.A, 1 / p.B);
        const double w = warranty(rng);
        if (!(ti < w))
            continue;
        double r = ti;
        if (p.resolution > 0) {
            r = std::round(ti / p.resolution) * p.resolution;
            if (r <= 0)
                r = p.resolution;
        }
        t.push_back(r);
    }
    std::sort(t.begin(), t.end());
    return t;
}

}   // namespace obr::mle
