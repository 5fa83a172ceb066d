// SPDX-License-Identifier: MIT
#include "out_graph_2_2015.h"

#include "model/errors.h"
#include "model/series_build.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <cmath>

namespace obr {

namespace {

const QString kNoFleet = QStringLiteral(
    "Приведенное количество изделий не больше 0: долю отказавших изделий вычислить нельзя");
const QString kBadSko =
    QStringLiteral("СКО времени цензурирования должно быть больше 0 (поле «СКО»)");

constexpr Rgb kOlive = 0xCACA00;   // RGB(202, 202, 0)
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

SeriesData lineSeries(const QString &name, const QString &title, Rgb color, double width,
                      LineStyle style, bool marks, bool bold)
{
    SeriesData s = detail::line(name, title, color, AxisSide::Right, width);
    s.style = style;
    s.marksVisible = marks;
    s.marksBold = bold;
    return s;
}

//! The top of the share axis for shares up to \a highest percent: 100, or above 100 the
//! next multiple of half a power of ten (120 -> 150, 1371 -> 1500).
double shareAxisTop(double highest)
{
    if (!(highest > 100) || !std::isfinite(highest))
        return 100;
    const double step = std::pow(10.0, std::floor(std::log10(highest))) / 2;
    return std::ceil(highest / step) * step;
}

ChartPoint point(double v, const QString &label, Rgb color, const NumLocale &nl)
{
    // Line values are marked in the picture "#,##0.#".
    return ChartPoint{v, label, color, fmtPicture(v, true, true, 1, nl)};
}

}   // namespace

ChartData chart3Design()
{
    ChartData c;
    c.title = QStringLiteral("Изменение потока отказов за время наблюдения (обследования)");
    c.bottom.title = QStringLiteral("Наработка, моточас.");
    c.left.title = QStringLiteral("Отказов за 100 часов на 1 изделие");
    c.right.title = QStringLiteral("Доля от количества изделий, %");
    c.right.fixedRange = true;
    c.right.min = 0;
    c.right.max = 100;
    c.right.percentLabels = true;
    c.whiteBackWall = true;
    c.legendVisible = true;

    SeriesData unknown;
    unknown.name = QStringLiteral("Series4");
    unknown.title = QStringLiteral("Неизвестные");
    unknown.kind = SeriesKind::Bar;
    unknown.axis = AxisSide::Left;
    unknown.visible = false;
    c.series.push_back(unknown);
    c.series.push_back(lineSeries(QStringLiteral("Series3"),
                                  QStringLiteral("Выбытие из наблюдения,%"), kOlive, 4,
                                  LineStyle::Solid, false, false));
    c.series.push_back(lineSeries(QStringLiteral("Series1"),
                                  QStringLiteral("Число отказов / количество изделий,%"), kRed, 3,
                                  LineStyle::DashDot, true, false));
    c.series.push_back(lineSeries(QStringLiteral("Series2"),
                                  QStringLiteral("Отказов / количество изделий с цензур-м,%"),
                                  kBlue, 3, LineStyle::DashDot, true, true));
    return c;
}

NonparamResult Histogram_Exp(State &s, const NumLocale &nl)
{
    if (s.MasProbl.empty() || s.Hist_Arr.empty())
        throw UserError(txt::noFailures);
    const double N = s.Izd_Prived;
    if (!(N > 0) || !std::isfinite(N))
        throw UserError(kNoFleet);
    if (!(s.SKO > 0) || !std::isfinite(s.SKO) || !std::isfinite(s.Sred))
        throw UserError(kBadSko);

    NonparamResult r;

    // Per-cause totals over all intervals.
    s.Sum_PrichRow.fill(0);
    for (const Hist_Rec &h : s.Hist_Arr)
        for (int j = 0; j < kCauseSlots; ++j)
            s.Sum_PrichRow[j] += h.Npr[j];
    s.F_OutGar.assign(s.Hist_Arr.size(), 0.0);

    r.chart = chart3Design();
    r.chart.decimal = nl.dec;
    // One bar series per named cause with failures, in increasing cause order; failures
    // whose cause was not established get no bar.
    for (int j = 1; j <= kMaxCauses; ++j) {
        if (!(s.Sum_PrichRow[j] > 0))
            continue;
        SeriesData b;
        b.name = QStringLiteral("Bar%1").arg(j);
        b.title = s.Vidy_otkazov[j].Nazv_Prich;
        b.kind = SeriesKind::Bar;
        b.axis = AxisSide::Left;
        // The colour of the cause in the results window, so a cause looks the same in both.
        b.color = paletteColor(j);
        b.transparency = 30;
        b.marksVisible = false;
        r.chart.series.push_back(b);
        r.barCauses.push_back(j);
    }

    // Labels.
    r.times = halfFleetTimes(s.MasProbl, N, s.Sred, s.SKO);
    NonparamTexts &t = r.texts;
    const QString h = QStringLiteral(" ч");
    const QString pcs = QStringLiteral(" шт.");
    t.Label10 = s.Comment;
    t.Label2 = QStringLiteral("- без учета цензурирования:") + fmtF(r.times.t50, 7, 1, nl.dec) + h;
    t.Label3 =
        QStringLiteral("- с учетом цензурирования:  ") + fmtF(r.times.tz50, 7, 2, nl.dec) + h;
    t.Label5 = QStringLiteral("Среднее время цензурирования: ") + fmtF(s.Sred, 7, 1, nl.dec) + h;
    t.Label6 = QStringLiteral("СКО времени цензурирования:    ") + fmtF(s.SKO, 7, 1, nl.dec) + h;
    // A time of 0 means the half of the fleet was not reached; say so where it is shown.
    const QString notReached = QStringLiteral(
        "Половина изделий за время наблюдения не отказала: время не определено, показан 0");
    if (r.times.t50 == 0)
        t.hint2 = notReached;
    if (r.times.tz50 == 0)
        t.hint3 = notReached;
    t.Label7 = QStringLiteral("Кол-во контролируемых изделий:") + fmtInt(s.Kol_Izd_All) + pcs;
    t.Label8 = QStringLiteral("Общее кол-во отказов изделий: ") + fmtInt(s.KolOtk) + pcs;

    // Chart points, one per interval, labelled with the interval's end in whole hours.
    SeriesData *s1 = r.chart.find(QStringLiteral("Series1"));
    SeriesData *s2 = r.chart.find(QStringLiteral("Series2"));
    SeriesData *s3 = r.chart.find(QStringLiteral("Series3"));
    const size_t firstBar = r.chart.series.size() - r.barCauses.size();
    // The share axis: 0..100 %, or higher when the plain accumulated share passes the
    // fleet (repeated failures of a product). The corrected share grows without bound
    // where nearly every product has left observation: its line ends at the last interval
    // where it stays on the axis, so no line is drawn beyond its axis.
    {
        double T = 0, highest = 0;
        for (const Hist_Rec &hr : s.Hist_Arr) {
            T += hr.Sum;
            highest = std::max(highest, T * 100 / N);
        }
        r.chart.right.max = shareAxisTop(highest);
    }
    const double axisTop = r.chart.right.max;
    bool corrected = true;
    double xprev = 0;
    double T = 0;
    for (size_t i = 0; i < s.Hist_Arr.size(); ++i) {
        const Hist_Rec &hr = s.Hist_Arr[i];
        const double x = roundEven(hr.time);
        T = T + hr.Sum;
        const double G = CDF_Gauss(s.Sred, s.SKO, x);
        s.F_OutGar[i] = G;
        // Counts per interval become counts per 100 hours. Interval ends are whole
        // hours apart, so the width is at least 1.
        const double K = x > xprev ? 100 / (x - xprev) : 0.0;
        const QString label = fmtRound(x);

        s1->points.push_back(point(T * 100 / N, label, s1->color, nl));
        // Once every product has left observation the correction has no finite value:
        // the corrected line ends there, so its points stay under their intervals.
        corrected = corrected && G < 1;
        const double share = corrected ? T / (1 - G) * 100 / N : 0.0;
        corrected = corrected && share <= axisTop;
        if (corrected)
            s2->points.push_back(point(share, label, s2->color, nl));
        s3->points.push_back(point(G * 100, label, s3->color, nl));
        for (size_t b = 0; b < r.barCauses.size(); ++b) {
            SeriesData &bar = r.chart.series[firstBar + b];
            const double v = hr.Npr[r.barCauses[b]] * K / N;
            bar.points.push_back(ChartPoint{v, label, bar.color, {}});
        }
        xprev = x;
    }
    return r;
}

}   // namespace obr
