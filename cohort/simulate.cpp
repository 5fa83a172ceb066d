// SPDX-License-Identifier: MIT
#include "simulate.h"

#include <cmath>
#include <limits>
#include <random>

namespace obr::cohort {

NevadaTable simulateHistory(const SimulationPlan &plan, uint64_t seed)
{
    std::mt19937_64 gen(seed);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    std::uniform_int_distribution<size_t> pick(
        0, plan.usage.sample.empty() ? 0 : plan.usage.sample.size() - 1);
    const int D = plan.periods - 1;
    const int L = plan.warrantyPeriods.value_or(std::numeric_limits<int>::max());
    const double H = plan.warrantyHours.value_or(std::numeric_limits<double>::infinity());
    auto F = [&](double t) { return -std::expm1(-plan.A * std::pow(std::min(t, H), plan.B)); };
    NevadaTable t;
    t.layout = Layout::Age;
    t.dataEnd = D;
    const int rows = std::min<int>(int(plan.units.size()), plan.periods);
    t.claims.assign(1, {});
    for (int r = 0; r < rows; ++r) {
        t.rows.push_back(QString::number(r + 1));
        t.units.push_back(plan.units[size_t(r)]);
        t.start.push_back(r);
        const int ages = D - r + 1;
        std::vector<double> cells(size_t(ages), 0.0);
        const long n = long(std::llround(plan.units[size_t(r)]));
        std::vector<double> mean(size_t(ages), 0.0);
        for (long i = 0; i < n; ++i) {
            double u = plan.usage.rate;
            if (plan.usage.kind == UsageKind::Lognormal)
                u = plan.usage.median * std::exp(plan.usage.logSd * normal(gen));
            else if (plan.usage.kind == UsageKind::Sample)
                u = plan.usage.sample[pick(gen)];
            if (plan.model == ModelKind::Repeat) {
                double prev = 0;
                for (int a = 1; a <= std::min(ages, L); ++a) {
                    const double f = F(u * a);
                    mean[size_t(a - 1)] += plan.K * (f - prev);
                    prev = f;
                }
            } else {
                const double x = uniform(gen);
                for (int a = 1; a <= std::min(ages, L); ++a)
                    if (F(u * a) > x) {
                        cells[size_t(a - 1)] += 1;
                        break;
                    }
            }
        }
        if (plan.model == ModelKind::Repeat)
            for (int a = 0; a < ages; ++a)
                if (mean[size_t(a)] > 0) {
                    std::poisson_distribution<long long> pois(mean[size_t(a)]);
                    cells[size_t(a)] = double(pois(gen));
                }
        t.claims[0].push_back(cells);
    }
    for (int k = 0; k <= D; ++k)
        t.periods.push_back(QString::number(k + 1));
    return t;
}

}   // namespace obr::cohort
