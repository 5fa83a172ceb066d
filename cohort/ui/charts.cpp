// SPDX-License-Identifier: MIT
#include "cohort/ui/charts.h"

#include "cohort/ui/cohortui_texts.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::cohortui {

using namespace obr::cohort;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr Rgb kObserved = 0x4682B4;
constexpr Rgb kExpected = 0xC81E1E;
constexpr Rgb kBand = 0xFF8C00;
constexpr Rgb kPlugin = 0xA04000;
constexpr Rgb kReserve = 0x006400;

SeriesData series(const QString &name, const QString &title, SeriesKind kind, Rgb color,
                  double width = 1, LineStyle style = LineStyle::Solid)
{
    SeriesData s;
    s.name = name;
    s.title = title;
    s.kind = kind;
    s.color = color;
    s.lineWidth = width;
    s.style = style;
    return s;
}

//! Values by category into the series' points (NaN: no point there).
void fill(SeriesData &s, const std::vector<double> &v, const std::vector<QString> &labels)
{
    s.points.clear();
    for (size_t j = 0; j < v.size(); ++j)
        s.points.push_back({v[j], j < labels.size() ? labels[j] : QString(), s.color, {}});
}

/*! The band between \a low and \a high: the upper side filled, the lower side filled with
 *  the chart's white ground on top of it, and a thin line on the lower edge. */
void addBand(ChartData &c, const QString &title, const std::vector<double> &low,
             const std::vector<double> &high, const std::vector<QString> &labels)
{
    SeriesData up = series(QStringLiteral("BandHigh"), title, SeriesKind::Area, kBand);
    up.transparency = 65;
    fill(up, high, labels);
    SeriesData down = series(QStringLiteral("BandLow"), QString(), SeriesKind::Area, 0xFFFFFF);
    down.outline = false;
    fill(down, low, labels);
    SeriesData edge = series(QStringLiteral("BandEdge"), QString(), SeriesKind::Line, kBand);
    fill(edge, low, labels);
    c.series.push_back(up);
    c.series.push_back(down);
    c.series.push_back(edge);
}

ChartData base(const QString &title, const QString &axis, QChar dec)
{
    ChartData c;
    c.title = title;
    c.titlePx = 14;
    c.axisTitlePx = 12;
    c.left.title = axis;
    c.bottom.title = txt::axisPeriod;
    c.whiteBackWall = true;
    c.wideSwatches = true;
    c.decimal = dec;
    return c;
}

std::vector<QString> labelsTo(const CohortResult &r, size_t n)
{
    std::vector<QString> l(n);
    for (size_t j = 0; j < n && j < r.periodLabels.size(); ++j)
        l[j] = r.periodLabels[j];
    return l;
}

//! The claims chart of a fit and its forecast; \a observedTo: the last period with data.
ChartData claimsOf(const QString &title, const Fit &fit, const Forecast &f,
                   const std::vector<double> &observed, const CohortResult &r, double level,
                   QChar dec, int barsTo = std::numeric_limits<int>::max())
{
    ChartData c = base(title, txt::axisClaims, dec);
    const size_t n = std::max(observed.size(),
                              f.rows.empty() ? observed.size() : size_t(f.rows.back().period + 1));
    const std::vector<QString> labels = labelsTo(r, n);
    std::vector<double> exp(n, kNaN), pLow(n, kNaN), pHigh(n, kNaN), gLow(n, kNaN), gHigh(n, kNaN),
        obs(n, kNaN);
    // What came after \a barsTo (a backtest's data end) is drawn as crosses over the band.
    std::vector<double> came(n, kNaN);
    for (size_t j = 0; j < observed.size(); ++j)
        (int(j) <= barsTo ? obs : came)[j] = observed[j];
    for (const MonitorLine &m : fit.monitorColumns)
        if (m.index >= 0 && size_t(m.index) < n)
            exp[size_t(m.index)] = m.expected;
    for (const ForecastRow &x : f.rows) {
        if (x.period < 0 || size_t(x.period) >= n)
            continue;
        const size_t j = size_t(x.period);
        exp[j] = x.expected;
        pLow[j] = x.predictive.low;
        pHigh[j] = x.predictive.high;
        gLow[j] = x.plugin.low;
        gHigh[j] = x.plugin.high;
    }
    // The band starts at the last observed period's expected count, so that it joins the
    // line there.
    if (f.firstPeriod >= 1 && size_t(f.firstPeriod) <= n) {
        const size_t j = size_t(f.firstPeriod - 1);
        if (std::isfinite(exp[j]))
            pLow[j] = pHigh[j] = gLow[j] = gHigh[j] = exp[j];
    }
    addBand(c, txt::seriesPredictive.arg(levelText(level, dec)), pLow, pHigh, labels);
    SeriesData plugLow =
        series(QStringLiteral("PluginLow"), txt::seriesPlugin.arg(levelText(level, dec)),
               SeriesKind::Line, kPlugin, 1.5, LineStyle::Dash);
    fill(plugLow, gLow, labels);
    SeriesData plugHigh = series(QStringLiteral("PluginHigh"), QString(), SeriesKind::Line, kPlugin,
                                 1.5, LineStyle::Dash);
    fill(plugHigh, gHigh, labels);
    SeriesData line =
        series(QStringLiteral("Expected"), txt::seriesExpected, SeriesKind::Line, kExpected, 2);
    fill(line, exp, labels);
    SeriesData bars =
        series(QStringLiteral("Observed"), txt::seriesObserved, SeriesKind::Bar, kObserved);
    fill(bars, obs, labels);
    c.series.push_back(plugLow);
    c.series.push_back(plugHigh);
    c.series.push_back(line);
    c.series.push_back(bars);
    if (barsTo < int(observed.size()) - 1) {
        SeriesData after = series(QStringLiteral("ObservedAfter"), txt::seriesObservedAfter,
                                  SeriesKind::Line, 0x000000);
        after.crossMarkers = true;
        after.transparency = 100;   // the crosses only
        fill(after, came, labels);
        c.series.push_back(after);
    }
    return c;
}

}   // namespace

QString shown(double v, QChar dec, int digits)
{
    if (!std::isfinite(v))
        return txt::none;
    // Whole thousands and more as whole numbers, never in the exponent form.
    QString s = std::abs(v) >= std::pow(10.0, digits) && std::abs(v) < 1e15
                    ? QLocale::c().toString(v, 'f', 0)
                    : QLocale::c().toString(v, 'g', digits);
    if (s.contains(u'e')) {
        // Small and large figures in the usual written form: 1,2345E-07.
        s.replace(QStringLiteral("e"), QStringLiteral("E"));
    }
    if (dec != u'.')
        s.replace(u'.', dec);
    return s;
}

QString levelText(double level, QChar dec) { return shown(level * 100, dec, 4) + u'%'; }

ChartData claimsChart(const CohortResult &r, QChar dec)
{
    const int D = r.settings.dataEnd.value_or(0);
    std::vector<double> observed(size_t(D + 1), 0.0);
    for (const MonitorLine &m : r.fit.monitorColumns)
        if (m.index >= 0 && m.index <= D)
            observed[size_t(m.index)] = m.observed;
    return claimsOf(txt::claimsTitle, r.fit, r.forecast, observed, r, r.settings.level, dec);
}

ChartData backtestChart(const CohortResult &r, QChar dec)
{
    if (!r.backtest)
        return base(txt::tabBacktest, txt::axisClaims, dec);
    const Backtest &b = *r.backtest;
    const int D = r.settings.dataEnd.value_or(0);
    std::vector<double> observed(size_t(D + 1), 0.0);
    for (const MonitorLine &m : r.fit.monitorColumns)
        if (m.index >= 0 && m.index <= D)
            observed[size_t(m.index)] = m.observed;
    const QString end = size_t(b.dataEnd) < r.periodLabels.size()
                            ? r.periodLabels[size_t(b.dataEnd)]
                            : QString::number(b.dataEnd + 1);
    return claimsOf(txt::backtestTitle.arg(end), b.fit, b.forecast, observed, r, r.settings.level,
                    dec, b.dataEnd);
}

ChartData costChart(const CohortResult &r, QChar dec)
{
    ChartData c = base(txt::costTitle, txt::axisCost, dec);
    if (!r.settings.cost || r.forecast.rows.empty())
        return c;
    const size_t n = r.forecast.rows.size();
    std::vector<QString> labels(n);
    std::vector<double> mean(n, kNaN), low(n, kNaN), high(n, kNaN), reserve(n, kNaN);
    for (size_t j = 0; j < n; ++j) {
        const ForecastRow &x = r.forecast.rows[j];
        labels[j] = x.label;
        mean[j] = x.cumCost.value_or(kNaN);
        if (x.cumCostInterval) {
            low[j] = x.cumCostInterval->low;
            high[j] = x.cumCostInterval->high;
        }
        reserve[j] = r.forecast.reserve.value_or(kNaN);
    }
    // The value axis labelled in whole numbers of the user's format (no exponents).
    double top = 0;
    for (size_t j = 0; j < n; ++j)
        for (double v : {mean[j], high[j], reserve[j]})
            if (std::isfinite(v))
                top = std::max(top, v);
    if (top > 0) {
        const double raw = top / 5;
        const double mag = std::pow(10.0, std::floor(std::log10(raw)));
        const double step = raw / mag <= 1   ? mag
                            : raw / mag <= 2 ? 2 * mag
                            : raw / mag <= 5 ? 5 * mag
                                             : 10 * mag;
        c.left.fixedRange = true;
        c.left.min = 0;
        c.left.max = std::ceil(top * 1.05 / step) * step;
        for (double v = 0; v <= c.left.max + step / 2; v += step)
            c.left.ticks.push_back({v, shown(v, dec, 9)});
    }
    const QString lv = levelText(r.settings.level, dec);
    addBand(c, txt::seriesCostBand.arg(lv), low, high, labels);
    SeriesData line =
        series(QStringLiteral("CumCost"), txt::seriesCumCost, SeriesKind::Line, kExpected, 2);
    fill(line, mean, labels);
    c.series.push_back(line);
    if (r.forecast.reserve) {
        SeriesData res = series(QStringLiteral("Reserve"),
                                txt::seriesReserve.arg(shown(*r.forecast.reserve, dec, 6)),
                                SeriesKind::Line, kReserve, 1.5, LineStyle::DashDot);
        fill(res, reserve, labels);
        c.series.push_back(res);
    }
    return c;
}

}   // namespace obr::cohortui
