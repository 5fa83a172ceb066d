// SPDX-License-Identifier: MIT
#include "plot.h"

#include <algorithm>
#include <cmath>

namespace obr::life {

ProbabilityPlot probabilityPlot(const LifeData &data, const LifeFit &fit)
{
    ProbabilityPlot p;
    p.paper = paperFor(fit.dist);
    p.positionsName = QStringLiteral("Ранги Джонсона, медианные ранги Бенарда");
    switch (p.paper) {
    case Paper::Weibull:
        p.title = QStringLiteral("Вероятностная бумага Вейбулла");
        break;
    case Paper::Lognormal:
        p.title = QStringLiteral("Логнормальная вероятностная бумага");
        break;
    case Paper::Normal:
        p.title = QStringLiteral("Нормальная вероятностная бумага");
        break;
    case Paper::Exponential:
        p.title = QStringLiteral("Экспоненциальная вероятностная бумага");
        break;
    }
    p.title += QStringLiteral(": ") + distName(fit.dist);
    p.xTitle = QStringLiteral("Наработка, ч");
    p.yTitle = QStringLiteral("Вероятность отказа F(t)");
    p.points = unitPositions(data, 5000);

    double lo = HUGE_VAL, hi = 0;
    for (const PlotPoint &pt : p.points)
        if (pt.t > 0)
            lo = std::min(lo, pt.t), hi = std::max(hi, pt.t);
    for (const Unit &u : data.units)
        if (u.low > 0)
            lo = std::min(lo, u.low), hi = std::max(hi, u.high);
    if (!(hi > 0))
        lo = 1, hi = 10;
    if (!(lo > 0) || !std::isfinite(lo))
        lo = hi / 100;
    const bool logT = paperLogTime(p.paper);
    p.tMin = logT ? lo / 2 : std::max(0.0, lo - 0.1 * (hi - lo));
    p.tMax = logT ? hi * 2 : hi + 0.1 * (hi - lo);
    if (!(p.tMax > p.tMin))
        p.tMax = p.tMin + 1;
    const int n = 120;
    for (int i = 0; i <= n; ++i) {
        const double t = logT ? p.tMin * std::pow(p.tMax / p.tMin, double(i) / n)
                              : p.tMin + (p.tMax - p.tMin) * i / n;
        if (t <= 0)
            continue;
        const Figure r = reliabilityAt(fit, t);
        const double F = 1 - r.value;
        if (F > 1e-6 && F < 1 - 1e-9) {
            p.lineT.push_back(t);
            p.lineF.push_back(F);
        }
        if (r.fisher && r.fisher->low && r.fisher->high) {
            const double a = 1 - *r.fisher->high, b = 1 - *r.fisher->low;
            if (a > 1e-6 && b < 1 - 1e-9) {
                p.bandT.push_back(t);
                p.bandLow.push_back(a);
                p.bandHigh.push_back(b);
            }
        }
    }
    double fLo = 0.5, fHi = 0.5;
    for (const PlotPoint &pt : p.points)
        fLo = std::min(fLo, pt.F), fHi = std::max(fHi, pt.F);
    p.fMin = std::max(1e-4, std::min(0.01, fLo / 2));
    p.fMax = std::min(0.9999, std::max(0.99, fHi));
    return p;
}

}   // namespace obr::life
