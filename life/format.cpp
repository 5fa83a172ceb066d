// SPDX-License-Identifier: MIT
#include "format.h"

#include "life_texts.h"

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

QString figureCaption(const QLocale &loc, Dist d, const Figure &f, FigureKind kind)
{
    switch (kind) {
    case FigureKind::BLife:
        return QStringLiteral("B%1").arg(lifeNumber(loc, f.key.toDouble()));
    case FigureKind::Reliability:
        return QStringLiteral("R(%1 ч)").arg(lifeNumber(loc, f.key.toDouble()));
    case FigureKind::Param:
        break;
    }
    static const std::pair<const char *, const char *> symbols[] = {
        {"eta", "η"}, {"beta", "β"},  {"gamma", "γ"}, {"lambda", "λ"},
        {"mu", "μ"},  {"sigma", "σ"}, {"shape", "k"}, {"scale", "θ"}};
    for (const auto &[key, sym] : symbols)
        if (f.key == QLatin1String(key))
            return QString::fromUtf8(sym);
    return paramTitle(d, f.key);
}

namespace {

//! A bound of a time: one below zero is shown as "≤ 0" with its value.
QString timeBoundsText(const QLocale &loc, const std::optional<Bounds> &b)
{
    if (!b)
        return QStringLiteral("—");
    auto side = [&](const std::optional<double> &x) {
        if (!x)
            return QStringLiteral("не огр.");
        return *x < 0 ? txt::belowZero.arg(lifeNumber(loc, *x)) : lifeNumber(loc, *x);
    };
    return QStringLiteral("[%1; %2]").arg(side(b->low), side(b->high));
}

}   // namespace

std::vector<FigureRow> figureRows(const QLocale &loc, const LifeFit &f)
{
    std::vector<FigureRow> rows;
    auto add = [&](const QString &title, const Figure &x, bool time) {
        FigureRow r{title, lifeNumber(loc, x.value),
                    time ? timeBoundsText(loc, x.fisher) : boundsText(loc, x.fisher),
                    time ? timeBoundsText(loc, x.lr) : boundsText(loc, x.lr)};
        if (x.atLimit)
            r.value = txt::atLimitValue.arg(r.value);
        else if (f.limit)
            r.value = txt::notEstimated;
        else if (x.undetermined)
            r.value = txt::undeterminedMark.arg(r.value);
        rows.push_back(r);
    };
    for (const Figure &x : f.params)
        add(paramTitle(f.dist, x.key), x, false);
    for (const Figure &x : f.bLives)
        add(bLifeTitle(loc, x), x, true);
    for (const Figure &x : f.reliability)
        add(reliabilityTitle(loc, x), x, false);
    return rows;
}

std::vector<QString> fitNotes(const QLocale &loc, const LifeFit &f)
{
    std::vector<QString> notes;
    if (f.limit)
        notes.push_back(f.limitMessage);
    if (f.undetermined)
        notes.push_back(txt::undeterminedNote);
    notes.insert(notes.end(), f.notes.begin(), f.notes.end());
    QStringList open, below;
    auto scan = [&](const std::vector<Figure> &list, FigureKind kind) {
        for (const Figure &x : list) {
            if (!x.lr)
                continue;
            if (!x.lr->low || !x.lr->high)
                open << figureCaption(loc, f.dist, x, kind);
            if (kind == FigureKind::BLife && x.lr->low && *x.lr->low < 0)
                below << figureCaption(loc, f.dist, x, kind);
        }
    };
    scan(f.params, FigureKind::Param);
    scan(f.bLives, FigureKind::BLife);
    scan(f.reliability, FigureKind::Reliability);
    for (const QString &c : open)
        notes.push_back(txt::profileOpen.arg(c));
    if (!below.isEmpty())
        notes.push_back(txt::belowZeroNote.arg(below.join(QStringLiteral(", "))));
    if (f.dist == Dist::Normal && !f.bLives.empty() && !f.limit)
        notes.push_back(txt::normalFisherNote);
    if (f.zeroStartIntervals)
        notes.push_back(txt::zeroStartNote);
    return notes;
}

QString rankMark(const RankEntry &e)
{
    if (e.best)
        return txt::rankBest;
    if (e.only)
        return txt::rankOnly;
    if (e.fit && !e.fit->sound())
        return txt::rankFlagged.arg(e.fit->limit ? txt::flaggedLimit : txt::flaggedUndetermined);
    return QString();
}

}   // namespace obr::life
