// SPDX-License-Identifier: MIT
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"

#include <cmath>

namespace obr::mleview {

QString fmtNumber(double v, QChar dec)
{
    if (!std::isfinite(v))
        return mtv::undetermined;
    QString s;
    if (std::fabs(v) >= 1000 && std::fabs(v) < 9.2e18)
        s = QString::number(static_cast<long long>(std::llround(v)));
    else
        s = QString::number(v, 'g', 4);
    if (dec != u'.')
        s.replace(u'.', dec);
    return s;
}

QString fmtBound(const std::optional<double> &v, QChar dec)
{
    return v ? fmtNumber(*v, dec) : mtv::unbounded;
}

QString fmtLevel(double level, QChar dec)
{
    QString s = QString::number(level * 100, 'g', 4);
    if (dec != u'.')
        s.replace(u'.', dec);
    return s;
}

const mle::Bound &shownBound(const mle::Figure &f, bool lr) { return lr ? f.lr : f.fisher; }

QString figureName(const QString &key)
{
    static const std::pair<const char16_t *, const QString *> names[] = {
        {u"B", &mtv::figB},
        {u"inv_A", &mtv::figInvA},
        {u"eta", &mtv::figEta},
        {u"K", &mtv::figK},
        {u"KA", &mtv::figKA},
        {u"t_0.5", &mtv::figT05},
        {u"t_0.2", &mtv::figT02},
        {u"t_0.1", &mtv::figT01},
        {u"M_tGar", &mtv::figMtGar},
        {u"per_product", &mtv::figPerProduct},
        {u"fleet_claims", &mtv::figFleet},
        {u"Sred", &mtv::figSred},
        {u"SKO", &mtv::figSKO},
    };
    for (const auto &[k, name] : names)
        if (key == QStringView(k))
            return *name;
    return key;
}

namespace {

//! The figures a ridge leaves undetermined: only K·A and B are known there.
bool undeterminedOnRidge(const QString &key)
{
    return key == u"K" || key == u"inv_A" || key == u"eta";
}

//! One side as shown: the number, "не ограничена", or "не определ." when the kind of
//! bounds is not determined (Fisher at a limit or singular, a side not settled).
QString sideText(const mle::Figure &f, const std::optional<double> &v, bool lr, QChar dec)
{
    if (v)
        return fmtNumber(*v, dec);
    return (lr ? f.lrDetermined : f.fisherDetermined) ? mtv::unbounded : mtv::undetermined;
}

}   // namespace

BoundsView boundsView(const mle::MleResult &r, bool lr, QChar dec)
{
    BoundsView v;
    v.heading =
        mtv::heading(fmtLevel(r.level, dec), lr ? mtv::kindLr : mtv::kindFisher,
                     r.law == mle::WarrantyLaw::Normal ? mtv::lawNormal : mtv::lawEmpirical, r.n);
    QStringList messages;
    for (const QString *m : {&r.ridgeMessage, &r.warrantyMessage, &r.effortMessage, &r.zeroMessage})
        if (!m->isEmpty())
            messages << *m;
    v.message = messages.join(u'\n');
    v.table.header = {mtv::colFigure, mtv::colEstimate, mtv::colLow, mtv::colHigh};
    for (const mle::Figure &f : r.figures) {
        if (r.ridge && undeterminedOnRidge(f.key)) {
            v.table.rows.push_back(
                {figureName(f.key), mtv::undetermined, mtv::undetermined, mtv::undetermined});
            continue;
        }
        if (!f.estimate) {
            v.table.rows.push_back({figureName(f.key), mtv::undetermined, mtv::none, mtv::none});
            continue;
        }
        const mle::Bound &b = shownBound(f, lr);
        v.table.rows.push_back({figureName(f.key), fmtNumber(*f.estimate, dec),
                                sideText(f, b.low, lr, dec), sideText(f, b.high, lr, dec)});
    }
    auto p = [&](const std::optional<double> &x) {
        return x ? mtv::pValue(fmtNumber(*x, dec)) : mtv::none;
    };
    v.table.rows.push_back({mtv::figLoglik, fmtNumber(r.loglik, dec), QString(), QString()});
    v.table.rows.push_back({mtv::figAIC, fmtNumber(r.AIC, dec), QString(), QString()});
    v.table.rows.push_back({mtv::figBIC, fmtNumber(r.BIC, dec), QString(), QString()});
    v.table.rows.push_back(
        {mtv::figChi2(r.gof.df), fmtNumber(r.gof.chi2, dec), p(r.gof.chi2P), QString()});
    v.table.rows.push_back({mtv::figDeviance(r.gof.df), fmtNumber(r.gof.deviance, dec),
                            p(r.gof.devianceP), QString()});
    v.table.rows.push_back({mtv::figKolm, fmtNumber(r.gof.kolmogorov, dec),
                            r.gof.kolmogorovVerdict.trimmed(), QString()});
    return v;
}

BoundsView bothBoundsView(const mle::MleResult &r, QChar dec)
{
    const BoundsView f = boundsView(r, false, dec), l = boundsView(r, true, dec);
    BoundsView v;
    v.heading = mtv::bothHeading(
        fmtLevel(r.level, dec),
        r.law == mle::WarrantyLaw::Normal ? mtv::lawNormal : mtv::lawEmpirical, r.n);
    v.message = l.message;
    v.table.header = {mtv::colFigure,     mtv::colEstimate, mtv::colFisherLow,
                      mtv::colFisherHigh, mtv::colLrLow,    mtv::colLrHigh};
    const size_t figures = f.table.rows.size() - kFitStatisticsRows;
    for (size_t i = 0; i < f.table.rows.size(); ++i) {
        const std::vector<QString> &a = f.table.rows[i], &b = l.table.rows[i];
        if (i < figures)
            v.table.rows.push_back({a[0], a[1], a[2], a[3], b[2], b[3]});
        else
            v.table.rows.push_back({a[0], a[1], a[2], a[3], QString(), QString()});
    }
    return v;
}

QString causeKind(const mle::Bound &B)
{
    const double lo = B.low.value_or(0);
    if (B.high && *B.high < 1)
        return mtv::earlyFailure;
    if (lo > 1)
        return mtv::wearOut;
    return mtv::randomFailure;
}

QString withBounds(const mle::MleResult &r, const QString &key, bool lr, QChar dec)
{
    const mle::Figure *f = r.figure(key);
    if (!f || !f->estimate || (r.ridge && undeterminedOnRidge(key)))
        return mtv::undetermined;
    const mle::Bound &b = shownBound(*f, lr);
    return QStringLiteral("%1 [%2; %3]")
        .arg(fmtNumber(*f->estimate, dec), sideText(*f, b.low, lr, dec),
             sideText(*f, b.high, lr, dec));
}

TextTable causesTable(const std::vector<mle::CauseFit> &fits, const std::vector<QString> &names,
                      bool lr, QChar dec)
{
    TextTable t;
    t.header = {mtv::colCause,    mtv::colCauseN, mtv::colCauseB,
                mtv::colCauseT01, mtv::colCauseM, mtv::colCauseKind};
    for (const mle::CauseFit &c : fits) {
        QString name = c.cause == 0                     ? mtv::unknownCause
                       : size_t(c.cause) < names.size() ? names[size_t(c.cause)]
                                                        : QString::number(c.cause);
        if (!c.result) {
            t.rows.push_back(
                {name, QString::number(c.n), mtv::none, mtv::none, mtv::none, mtv::notFitted});
            continue;
        }
        const mle::MleResult &r = *c.result;
        const mle::Figure *B = r.figure(QStringLiteral("B"));
        t.rows.push_back({name, QString::number(c.n), withBounds(r, QStringLiteral("B"), lr, dec),
                          withBounds(r, QStringLiteral("t_0.1"), lr, dec),
                          withBounds(r, QStringLiteral("M_tGar"), lr, dec),
                          B ? causeKind(shownBound(*B, lr)) : mtv::randomFailure});
    }
    return t;
}

}   // namespace obr::mleview
