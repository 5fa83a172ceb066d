// SPDX-License-Identifier: MIT
#include "mleview/plots.h"
#include "mleview/mleview.h"
#include "mleview/mleview_texts.h"
#include "model/series_build.h"

#include "mle/likelihood.h"
#include "stats/stat2018.h"

#include <boost/math/distributions/poisson.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::mleview {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kUnknownPalette = 11;     // the not-established cause, as in the results charts
constexpr Rgb kModelColor = 0xFF8000;   // the maximum-likelihood model: orange, as in the results
constexpr Rgb kObservedColor = 0x000080;

//! Share of the fleet still under warranty at t under the law the fit used.
class WarrantyShare {
public:
    WarrantyShare(const State &s, const mle::MleResult &r)
        : m_empirical(r.law == mle::WarrantyLaw::Empirical && !s.MasTGarant.empty()),
          m_Sred(r.Sred), m_SKO(r.SKO)
    {
        if (m_empirical)
            m_law = mle::detail::Law::fromTimes(s.MasTGarant);
    }
    double operator()(double t) const
    {
        return m_empirical ? m_law.survival(t) : 1 - CDF_Gauss(m_Sred, m_SKO, t);
    }

private:
    bool m_empirical;
    double m_Sred, m_SKO;
    mle::detail::Law m_law;
};

SeriesData lineSeries(const QString &name, const QString &title, Rgb color, double width,
                      LineStyle style = LineStyle::Solid)
{
    SeriesData s = detail::line(name, title, color, AxisSide::Left, width);
    s.style = style;
    return s;
}

//! Points only: the line is fully transparent, the crosses keep the colour.
SeriesData pointSeries(const QString &name, const QString &title, Rgb color)
{
    SeriesData s = lineSeries(name, title, color, 1);
    s.transparency = 100;
    s.crossMarkers = true;
    return s;
}

//! Hours on a time axis: whole hours from 10 h on; below, up to two significant digits
//! (a tick at 0.5 h reads "0,5", not "1").
QString fmtHours(double t, QChar dec = u'.')
{
    if (std::fabs(t) >= 10)
        return QString::number(static_cast<long long>(std::llround(t)));
    QString s = QString::number(t, 'g', 2);
    if (dec != u'.')
        s.replace(u'.', dec);
    return s;
}

//! The times of a band, in order.
std::vector<double> bandGridOf(const std::vector<mle::BandPoint> &band)
{
    std::vector<double> t;
    for (const mle::BandPoint &b : band)
        t.push_back(b.t);
    return t;
}

//! Time labels at 1, 2, 5 times the powers of ten, each at the category nearest to it.
std::vector<QString> timeLabels(double lnT0, double step, int n, QChar dec)
{
    std::vector<QString> labels(static_cast<size_t>(n), QString());
    const double t0 = std::exp(lnT0), t1 = std::exp(lnT0 + step * (n - 1));
    for (double p = std::pow(10.0, std::floor(std::log10(t0))); p <= t1 * 10; p *= 10)
        for (double m : {1.0, 2.0, 5.0}) {
            const double t = m * p;
            if (t < t0 * 0.999 || t > t1 * 1.001)
                continue;
            const int j = int(std::lround((std::log(t) - lnT0) / step));
            if (j >= 0 && j < n && labels[size_t(j)].isEmpty())
                labels[size_t(j)] = fmtHours(t, dec);
        }
    return labels;
}

QString fmtPercent(double p, QChar dec)
{
    QString s = QString::number(p * 100, 'g', 3);
    if (dec != u'.')
        s.replace(u'.', dec);
    return s + u'%';
}

//! The frame the three charts share: one value axis on the left, a white back wall.
ChartData chartFrame(const QString &title, const QString &left, const QString &bottom, QChar dec)
{
    ChartData c;
    c.decimal = dec;
    c.title = title;
    c.left.title = left;
    c.bottom.title = bottom;
    c.right.used = false;
    c.whiteBackWall = true;
    c.wideSwatches = true;
    return c;
}

}   // namespace

ChartData probabilityPlot(const State &s, const mle::MleResult &r, bool lr, QChar dec)
{
    ChartData c = chartFrame(mtv::probTitle, QString(), mtv::probBottom, dec);
    c.legendVisible = true;
    const bool kf = !r.ridge;   // K·F form when K is determined
    c.left.title = kf ? mtv::probLeftKF : mtv::probLeftM;

    // The failures in time order with their weights: each one counts for the products
    // that were out of warranty by its time.
    std::vector<double> times;
    for (const Problems &p : s.MasProbl)
        if (p.time > 0)
            times.push_back(p.time);
    std::sort(times.begin(), times.end());
    const double N = s.Izd_Prived;
    if (times.empty() || !(N > 0) || !(r.A > 0) || !(r.B > 0) || !(r.K > 0))
        return c;
    const WarrantyShare under(s, r);

    // Positions on the time axis, evenly spaced in ln t: those of the fit's band when it
    // has one, computed the same way otherwise.
    const std::vector<double> grid =
        r.band.size() >= 2 ? bandGridOf(r.band)
                           : mle::bandTimes(times.front(), std::max(times.back(), s.tGar));
    const int n = int(grid.size());
    const double lnT0 = std::log(grid.front());
    const double step = (std::log(grid.back()) - lnT0) / (n - 1);
    const std::vector<QString> labels = timeLabels(lnT0, step, n, dec);
    const bool band = r.band.size() == grid.size();

    SeriesData obs = pointSeries(QStringLiteral("Observed"), mtv::probObserved, kObservedColor);
    SeriesData model = lineSeries(QStringLiteral("Model"), mtv::probModel, kModelColor, 2);
    SeriesData low =
        lineSeries(QStringLiteral("BandLow"), mtv::probBand(fmtLevel(r.level, dec), lr),
                   kModelColor, 1, LineStyle::Dash);
    SeriesData high =
        lineSeries(QStringLiteral("BandHigh"), QString(), kModelColor, 1, LineStyle::Dash);
    std::vector<double> yObs(size_t(n), kNaN);
    // The value of a per-product count on the paper: ln(−ln(1 − M/K)), or ln M on a ridge;
    // NaN where the paper has no place for it.
    auto paper = [&](double M) {
        if (!(M > 0))
            return -std::numeric_limits<double>::infinity();
        if (!kf)
            return std::log(M);
        return M < r.K ? std::log(-std::log1p(-M / r.K)) : std::numeric_limits<double>::infinity();
    };
    double M = 0;
    for (double t : times) {
        const double share = under(t);
        if (!(share > 0.1))   // too few products left to weight the failure reliably
            break;
        M += 1 / share / N;
        const double y = paper(M);
        const int j = int(std::lround((std::log(t) - lnT0) / step));
        if (j >= 0 && j < n && std::isfinite(y))
            yObs[size_t(j)] = y;
    }
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    std::vector<double> yLow(size_t(n), kNaN), yHigh(size_t(n), kNaN);
    for (int j = 0; j < n; ++j) {
        const double lt = lnT0 + step * j;
        // K·F form: y = ln A + B·ln t; on a ridge ln M ≈ ln(K·A) + B·ln t.
        const double y = std::log(r.A) + r.B * lt + (kf ? 0 : std::log(r.K));
        const QString &label = labels[size_t(j)];
        obs.points.push_back({yObs[size_t(j)], label, obs.color, {}});
        model.points.push_back({y, label, model.color, {}});
        if (band) {
            // A side left open by the bounds lies beyond the paper: it is drawn at its edge.
            const mle::Bound &b = lr ? r.band[size_t(j)].lr : r.band[size_t(j)].fisher;
            yLow[size_t(j)] = b.low ? paper(*b.low) : -std::numeric_limits<double>::infinity();
            yHigh[size_t(j)] = b.high ? paper(*b.high) : std::numeric_limits<double>::infinity();
        }
        for (double v : {yObs[size_t(j)], y})
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
    }
    // The value axis in the quantity itself: percent of K, or failures per product.
    c.left.fixedRange = true;
    c.left.min = std::floor(lo - 0.3);
    c.left.max = std::ceil(hi + 0.3);
    for (int j = 0; j < n && band; ++j) {
        const QString &label = labels[size_t(j)];
        low.points.push_back(
            {std::clamp(yLow[size_t(j)], c.left.min, c.left.max), label, low.color, {}});
        high.points.push_back(
            {std::clamp(yHigh[size_t(j)], c.left.min, c.left.max), label, high.color, {}});
    }
    if (band)
        c.series = {model, low, high, obs};   // one legend entry for the band: the low side
    else
        c.series = {model, obs};
    // A few ticks that stay apart on a short axis: 1 and 5 times the powers of ten, and on
    // the K·F paper 20%, 50%, 63,2% (where ln(−ln(1 − M/K)) is 0), 90% and 99%.
    std::vector<double> shares;
    for (double e = -6; e <= 3; ++e)
        for (double m : {1.0, 5.0})
            shares.push_back(m * std::pow(10.0, e));
    if (kf)
        for (double q : {0.2, 1 - std::exp(-1.0), 0.9, 0.99})
            shares.push_back(q);
    std::sort(shares.begin(), shares.end());
    for (double q : shares) {
        if (kf && q >= 1)
            continue;
        const double v = kf ? std::log(-std::log(1 - q)) : std::log(q);
        if (v >= c.left.min && v <= c.left.max)
            c.left.ticks.push_back({v, kf ? fmtPercent(q, dec) : fmtNumber(q, dec)});
    }
    return c;
}

namespace {

//! Expected recorded failures of a fit in the interval (t1, t2]: N'·K·∫f·S_W, by the
//! midpoint rule on a few sub-intervals.
double expectedIn(const mle::MleResult &r, const WarrantyShare &under, double N, double t1,
                  double t2)
{
    constexpr int parts = 8;
    double sum = 0;
    const double h = (t2 - t1) / parts;
    for (int i = 0; i < parts; ++i) {
        const double a = t1 + i * h, b = a + h;
        const double dF = std::exp(-r.A * std::pow(a, r.B)) - std::exp(-r.A * std::pow(b, r.B));
        sum += dF * under((a + b) / 2);
    }
    return N * r.K * sum;
}

}   // namespace

ChartData causesChart(const State &s, const std::vector<mle::CauseFit> &fits, QChar dec)
{
    ChartData c = chartFrame(mtv::causesChartTitle, mtv::perProduct100, mtv::hoursAxis, dec);
    const double N = s.Izd_Prived;
    if (!(N > 0))
        return c;
    for (const mle::CauseFit &f : fits) {
        if (!f.result)
            continue;
        const mle::MleResult &r = *f.result;
        const WarrantyShare under(s, r);
        const Rgb col = paletteColor(f.cause == 0 ? kUnknownPalette : f.cause);
        const QString name = f.cause == 0 ? mtv::unknownCause
                             : size_t(f.cause) < s.Vidy_otkazov.size()
                                 ? s.Vidy_otkazov[size_t(f.cause)].Nazv_Prich
                                 : QString::number(f.cause);
        SeriesData obs = pointSeries(QStringLiteral("Observed%1").arg(f.cause), name, col);
        SeriesData model =
            lineSeries(QStringLiteral("Model%1").arg(f.cause), name + mtv::modelSuffix, col, 2);
        double t1 = 0;
        for (const Hist_Rec &h : s.Hist_Arr) {
            const double t2 = h.time;
            const QString label = fmtHours(t2);
            if (t2 > t1) {
                const double per100 = 100 / (t2 - t1) / N;
                const int k = f.cause == 0 ? h.Nund : h.Npr[size_t(f.cause)];
                obs.points.push_back({k * per100, label, col, {}});
                model.points.push_back({expectedIn(r, under, N, t1, t2) * per100, label, col, {}});
            } else {
                obs.points.push_back({kNaN, label, col, {}});
                model.points.push_back({kNaN, label, col, {}});
            }
            t1 = t2;
        }
        c.series.push_back(model);
        c.series.push_back(obs);
    }
    return c;
}

ChartData observedExpectedChart(const State &s, const mle::MleResult &r, QChar dec)
{
    ChartData c = chartFrame(mtv::obsExpTitle, mtv::countAxis, mtv::hoursAxis, dec);
    SeriesData bars = detail::bar(QStringLiteral("Observed"), mtv::obsBars, 0x8080C0, 0);
    SeriesData expected = lineSeries(QStringLiteral("Expected"), mtv::expLine, kModelColor, 2);
    SeriesData low =
        lineSeries(QStringLiteral("PoissonLow"), mtv::poissonBand, 0x804000, 1, LineStyle::Dash);
    SeriesData high =
        lineSeries(QStringLiteral("PoissonHigh"), QString(), 0x804000, 1, LineStyle::Dash);
    const double N = s.Izd_Prived;
    const WarrantyShare under(s, r);
    double t1 = 0;
    for (const Hist_Rec &h : s.Hist_Arr) {
        const double t2 = h.time;
        const QString label = fmtHours(t2);
        const double mu = t2 > t1 && N > 0 ? expectedIn(r, under, N, t1, t2) : kNaN;
        bars.points.push_back({double(h.Sum), label, bars.color, {}});
        expected.points.push_back({mu, label, expected.color, {}});
        double qlo = kNaN, qhi = kNaN;
        if (mu > 0 && std::isfinite(mu)) {
            const boost::math::poisson pd(mu);
            qlo = boost::math::quantile(pd, 0.025);
            qhi = boost::math::quantile(pd, 0.975);
        } else if (mu == 0) {
            qlo = qhi = 0;
        }
        low.points.push_back({qlo, label, low.color, {}});
        high.points.push_back({qhi, label, high.color, {}});
        t1 = t2;
    }
    c.series = {bars, expected, low, high};
    return c;
}

}   // namespace obr::mleview
