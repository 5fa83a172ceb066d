// SPDX-License-Identifier: MIT
#include "format.h"

#include <cmath>

namespace obr::life {

QString lifeNumber(const QLocale &userLocale, double v)
{
    QLocale loc = userLocale;
    loc.setNumberOptions(loc.numberOptions() | QLocale::OmitGroupSeparator);
    if (!std::isfinite(v))
        return QStringLiteral("—");
    const double a = std::abs(v);
    if (a != 0 && (a < 1e-3 || a >= 1e7))
        return loc.toString(v, 'e', 5);
    return loc.toString(v, 'g', 7);
}

QString boundsText(const QLocale &loc, const std::optional<Bounds> &b)
{
    if (!b)
        return QStringLiteral("—");
    auto side = [&](const std::optional<double> &x) {
        return x ? lifeNumber(loc, *x) : QStringLiteral("не огр.");
    };
    return QStringLiteral("[%1; %2]").arg(side(b->low), side(b->high));
}

QString paramTitle(Dist d, const QString &key)
{
    if (key == u"eta")
        return QStringLiteral("Масштаб η, ч");
    if (key == u"beta")
        return QStringLiteral("Форма β");
    if (key == u"gamma")
        return QStringLiteral("Положение γ, ч");
    if (key == u"lambda")
        return QStringLiteral("Интенсивность λ, 1/ч");
    if (key == u"mu")
        return d == Dist::Normal ? QStringLiteral("Среднее μ, ч") : QStringLiteral("μ (ln t)");
    if (key == u"sigma")
        return d == Dist::Normal ? QStringLiteral("СКО σ, ч") : QStringLiteral("σ (ln t)");
    if (key == u"shape")
        return QStringLiteral("Форма k");
    if (key == u"scale")
        return QStringLiteral("Масштаб θ, ч");
    return key;
}

QString bLifeTitle(const QLocale &loc, const Figure &f)
{
    return QStringLiteral("Ресурс B%1, ч").arg(lifeNumber(loc, f.key.toDouble()));
}

QString reliabilityTitle(const QLocale &loc, const Figure &f)
{
    return QStringLiteral("ВБР R(%1 ч)").arg(lifeNumber(loc, f.key.toDouble()));
}

std::vector<FigureRow> figureRows(const QLocale &loc, const LifeFit &f)
{
    std::vector<FigureRow> rows;
    auto add = [&](const QString &title, const Figure &x) {
        rows.push_back(
            {title, lifeNumber(loc, x.value), boundsText(loc, x.fisher), boundsText(loc, x.lr)});
    };
    for (const Figure &x : f.params)
        add(paramTitle(f.dist, x.key), x);
    for (const Figure &x : f.bLives)
        add(bLifeTitle(loc, x), x);
    for (const Figure &x : f.reliability)
        add(reliabilityTitle(loc, x), x);
    return rows;
}

}   // namespace obr::life
