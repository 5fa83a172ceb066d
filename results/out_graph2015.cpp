// SPDX-License-Identifier: MIT
#include "out_graph2015.h"
#include "results_texts.h"
#include "model/series_build.h"

#include "stats/stat2018.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace obr {

using detail::addPoint;
using detail::at;

double Potok08(State &s)
{
    double sum = 0;
    for (const Problems &p : s.MasProbl) {
        if (p.time >= 0.2 * s.Sred && p.time <= s.Sred)
            sum += 1 / (1 - CDF_Gauss(s.Sred, s.SKO, p.time));
    }
    // Left to right, as the figure is defined: per 100 hours of the 0.8*Sred span, per
    // product, scaled up from the documented to the declared failures.
    s.Pot08 = sum * 100 / (0.8 * s.Sred) / s.Kol_Izd_All * s.KolOtk / s.Kol_izw;
    return s.Pot08;
}

const Mod_Weib &modelRecord(const State &s, ModelId id)
{
    switch (id) {
    case ModelId::MPirsN:
        return s.MPirsN;
    case ModelId::MPirsS:
        return s.MPirsS;
    case ModelId::MSmirn:
        return s.MSmirn;
    case ModelId::MGenet:
        return s.MGenet;
    case ModelId::MMaxPr:
        return s.MMaxPr;
    }
    return s.MGenet;
}

Mod_Weib &modelRecord(State &s, ModelId id)
{
    return const_cast<Mod_Weib &>(modelRecord(std::as_const(s), id));
}

std::vector<ModelId> setAsideStaleModels(State &s)
{
    std::vector<ModelId> out;
    for (ModelId id : kModelOrder) {
        Mod_Weib &m = modelRecord(s, id);
        if (m.Executed && m.dataSet != s.dataSet) {
            m.Executed = false;
            out.push_back(id);
        }
    }
    return out;
}

QString modelCaption(ModelId id)
{
    switch (id) {
    case ModelId::MPirsN:
        return rtxt::colPirsN.trimmed();
    case ModelId::MPirsS:
        return rtxt::colPirsS.trimmed();
    case ModelId::MSmirn:
        return rtxt::colSmirn.trimmed();
    case ModelId::MGenet:
        return rtxt::colGenet.trimmed();
    case ModelId::MMaxPr:
        return rtxt::colMaxPr.trimmed();
    }
    return {};
}

void advanceModelTotals(PerModel &totals, const State &s, size_t i)
{
    for (ModelId id : kModelOrder) {
        const Mod_Weib &m = modelRecord(s, id);
        if (!m.Executed)
            continue;
        ModelTotals &t = totals[size_t(id)];
        // The Smirnov model sums no probabilities.
        if (id != ModelId::MSmirn)
            if (auto f = at(m.F_Weib, i))
                t.Unsens += *f;
        if (auto k = at(m.Kol_F_priv, i))
            t.Kol_Nakopl += *k;
    }
}

void storeModelTotals(State &s, const PerModel &totals)
{
    for (ModelId id : kModelOrder) {
        Mod_Weib &m = modelRecord(s, id);
        if (m.Executed || id == ModelId::MGenet || id == ModelId::MSmirn) {
            m.Unsens = totals[size_t(id)].Unsens;
            m.Kol_Nakopl = totals[size_t(id)].Kol_Nakopl;
        }
    }
}

std::vector<int> startCauseTotals(State &s, int lastCause)
{
    s.SumNund = 0;
    s.F_OutGar.assign(s.Hist_Arr.size(), 0.0);
    for (int k = 0; k <= lastCause; ++k) {
        s.Sum_PrichRow[size_t(k)] = 0;
        s.Sum_PrichCol[size_t(k)] = 0;
    }
    for (const Hist_Rec &h : s.Hist_Arr) {
        s.SumNund += h.Nund;
        for (int k = 0; k <= lastCause; ++k)
            s.Sum_PrichRow[size_t(k)] += h.Npr[size_t(k)];
    }
    std::vector<int> active;
    for (int k = 1; k <= lastCause; ++k)
        if (s.Sum_PrichRow[size_t(k)] > 0)
            active.push_back(k);
    return active;
}

QString causeTitle(const Vid_otkaza &cause, int32_t kolIzw, const NumLocale &nl)
{
    return cause.Nazv_Prich + rtxt::causeTotal + fmtRound(cause.Dolya) + QStringLiteral(" (") +
           fmtF(cause.Dolya * 100 / kolIzw, 3, 1, nl.dec) + rtxt::causeCases;
}

namespace {

constexpr int kFormCauses = 10;   // causes drawn in the results window
constexpr int kUnknownPalette = 11;
constexpr Rgb kAlmostBlack = 0x040000;   // the colour value 4: red 4, green 0, blue 0
constexpr Rgb kMaxPrColor = 0xFF8000;    // the maximum-likelihood model: orange, dashed

ChartData flowChartFrame()
{
    using detail::line;
    ChartData c;
    c.title = rtxt::flowTitle;
    c.left.title = rtxt::flowLeft;
    c.right.title = rtxt::outRight;
    c.legendVisible = true;
    c.series = {
        line(QStringLiteral("Series1"), rtxt::sOutGar, 0xFFFF00, AxisSide::Right, 2),
        line(QStringLiteral("Series2"), rtxt::sPirsInfl, 0x008000, AxisSide::Left, 2),
        line(QStringLiteral("Series3"), rtxt::sPirs, 0x00FF00, AxisSide::Left, 2, 12),
        line(QStringLiteral("Series4"), rtxt::sSmirn, 0x0000FF, AxisSide::Left, 1),
        line(QStringLiteral("Series6"), rtxt::sGenet, 0xFF6F6F, AxisSide::Left, 2),
        line(QStringLiteral("Series5"), rtxt::sGenetInfl, 0xFF0000, AxisSide::Left, 2),
    };
    return c;
}

ChartData accumulatedChartFrame()
{
    using detail::line;
    ChartData c;
    c.title = rtxt::accTitle;
    c.left.title = rtxt::accLeft;
    c.right.title = rtxt::outRight;
    c.right.fixedRange = true;
    c.right.min = 0;
    c.right.max = 100;
    c.legendVisible = false;
    c.whiteBackWall = true;
    SeriesData area;
    area.name = QStringLiteral("Series15");
    area.title = rtxt::sReal;
    area.kind = SeriesKind::Area;
    area.color = 0xC0C0C0;
    area.transparency = 30;
    area.outline = false;
    c.series = {
        area,
        line(QStringLiteral("Series7"), rtxt::sOutGarPct, 0xFFFF15, AxisSide::Right, 2, 8),
        line(QStringLiteral("Series8"), rtxt::sPirs, 0x009B9B, AxisSide::Left, 2),
        line(QStringLiteral("Series9"), rtxt::sPirsInfl, 0x00D900, AxisSide::Left, 2),
        line(QStringLiteral("Series10"), rtxt::sSmirn, 0x8000FF, AxisSide::Left, 2),
        line(QStringLiteral("Series11"), rtxt::sGenet, 0xFF0000, AxisSide::Left, 2),
        line(QStringLiteral("Series12"), rtxt::sGenetInfl, 0xFF6464, AxisSide::Left, 2),
    };
    return c;
}

ChartData correctedChartFrame()
{
    ChartData c;
    c.title = rtxt::corrTitle;
    c.left.title = rtxt::corrLeft;
    c.right.used = false;
    c.legendVisible = true;
    c.wideSwatches = true;
    return c;
}

QString causeName(int k) { return QStringLiteral("Cause%1").arg(k); }

}   // namespace

ResultsCharts resultsCharts(State &s, const NumLocale &nl, ResultsTitles &titles)
{
    // 1, 2: per-cause totals over the histogram; causes with failures are active.
    const size_t n = s.Hist_Arr.size();
    int32_t x1 = 0;
    const std::vector<int> active = startCauseTotals(s, kFormCauses);

    // 3..6: fresh charts (the run-time series of an earlier refresh are not carried over).
    ChartData c1 = flowChartFrame(), c2 = accumulatedChartFrame(), c3 = correctedChartFrame();
    for (ChartData *c : {&c1, &c2, &c3})
        c->decimal = nl.dec;
    double Expl_sum = 0;
    PerModel totals;
    if (titles.pearsonRetitled) {
        c1.find(QStringLiteral("Series2"))->title = rtxt::sPirsCens;
        c1.find(QStringLiteral("Series3"))->title = rtxt::sPirs;
    }

    // 7: one bar series per active cause in each chart, 8: the unidentified-cause series.
    const size_t firstBar1 = c1.series.size(), firstBar2 = c2.series.size();
    for (int k : active) {
        const Vid_otkaza &cause = s.Vidy_otkazov[size_t(k)];
        const Rgb col = paletteColor(k);
        c1.series.push_back(detail::bar(causeName(k), causeTitle(cause, s.Kol_izw, nl), col, 0));
        c2.series.push_back(detail::bar(causeName(k), cause.Nazv_Prich, col, 30));
        c3.series.push_back(detail::bar(causeName(k), cause.Nazv_Prich, col, 0));
        c3.series.push_back(detail::bar(causeName(k) + QStringLiteral("Cens"),
                                        cause.Nazv_Prich + rtxt::withCensoring, col, 60));
    }
    if (s.SumNund > 0) {
        const Rgb col = paletteColor(kUnknownPalette);
        c1.series.push_back(detail::bar(QStringLiteral("Unknown"), rtxt::sUnknown, col, 0));
        c3.series.push_back(detail::bar(QStringLiteral("Unknown"), rtxt::sUnknown, col, 0));
        c3.series.push_back(
            detail::bar(QStringLiteral("UnknownCens"), rtxt::sUnknownCens, kAlmostBlack, 50));
    }

    const bool pirsN = s.MPirsN.Executed;
    const Mod_Weib &M = pirsN ? s.MPirsN : s.MPirsS;
    const ModelTotals &MT = totals[size_t(pirsN ? ModelId::MPirsN : ModelId::MPirsS)];
    const ModelTotals &GT = totals[size_t(ModelId::MGenet)];
    const ModelTotals &MLT = totals[size_t(ModelId::MMaxPr)];
    const ModelTotals &ST = totals[size_t(ModelId::MSmirn)];
    const bool pearson = M.Executed;
    if (pearson) {
        titles.pearsonRetitled = true;
        c1.find(QStringLiteral("Series2"))->title = rtxt::sPirsCens;
        c1.find(QStringLiteral("Series3"))->title = rtxt::sPirs;
    }
    // The maximum-likelihood model: a curve of its own colour and dash in the flow and
    // the accumulated charts, only when it was fitted.
    const Mod_Weib &ML = s.MMaxPr;
    if (ML.Executed) {
        const QString title =
            ML.undetermined.empty() ? rtxt::sMaxPr : rtxt::sMaxPr + rtxt::undeterminedMark;
        SeriesData l =
            detail::line(QStringLiteral("SeriesMaxPr"), title, kMaxPrColor, AxisSide::Left, 2);
        l.style = LineStyle::Dash;
        c1.series.push_back(l);
        c2.series.push_back(l);
    }
    // Looked up after the last series is added: the references stay valid.
    SeriesData *SM1 = ML.Executed ? c1.find(QStringLiteral("SeriesMaxPr")) : nullptr;
    SeriesData *SM2 = ML.Executed ? c2.find(QStringLiteral("SeriesMaxPr")) : nullptr;
    SeriesData &S1 = *c1.find(QStringLiteral("Series1"));
    SeriesData &S2 = *c1.find(QStringLiteral("Series2"));
    SeriesData &S3 = *c1.find(QStringLiteral("Series3"));
    SeriesData &S4 = *c1.find(QStringLiteral("Series4"));
    SeriesData &S5 = *c1.find(QStringLiteral("Series5"));
    SeriesData &S6 = *c1.find(QStringLiteral("Series6"));
    SeriesData &S15 = *c2.find(QStringLiteral("Series15"));
    SeriesData &S7 = *c2.find(QStringLiteral("Series7"));
    SeriesData &S8 = *c2.find(QStringLiteral("Series8"));
    SeriesData &S9 = *c2.find(QStringLiteral("Series9"));
    SeriesData &S10 = *c2.find(QStringLiteral("Series10"));
    SeriesData &S11 = *c2.find(QStringLiteral("Series11"));
    SeriesData &S12 = *c2.find(QStringLiteral("Series12"));
    const double Izd = s.Izd_Prived;

    // 9: one category per histogram interval.
    for (size_t i = 0; i < n; ++i) {
        const Hist_Rec &h = s.Hist_Arr[i];
        const int32_t x2 = int32_t(roundEven(h.time));
        const double K_Interval = 100.0 / double(x2 - x1);
        s.F_OutGar[i] = CDF_Gauss(s.Sred, s.SKO, x2);
        const double out = s.F_OutGar[i];
        Expl_sum += h.Sum;
        const QString label = fmtInt(x2);

        for (size_t r = 0; r < active.size(); ++r) {   // r is the cause's rank, N_ser
            const int k = active[r];
            const double npr = h.Npr[size_t(k)];
            s.Sum_PrichCol[size_t(k)] += npr;
            const Rgb col = paletteColor(k);
            addPoint(c1.series[firstBar1 + r], npr * K_Interval / Izd, label, col);
            addPoint(c2.series[firstBar2 + r],
                     s.Sum_PrichCol[size_t(k)] / Izd * s.KolOtk / s.Kol_izw, label, col);
            if (out < 0.9) {
                addPoint(c3.series[2 * r], npr * K_Interval / Izd, label, col);
                addPoint(c3.series[2 * r + 1], npr * K_Interval / Izd / (1 - out), label, col);
            }
        }

        advanceModelTotals(totals, s, i);
        if (pearson) {
            if (auto f = at(M.F_Weib, i))
                addPoint(S2, *f * K_Interval * M.K_powtor, label);
            if (auto k = at(M.Kol_F_priv, i))
                addPoint(S3, *k * K_Interval / Izd, label);
            addPoint(S8, MT.Unsens * M.K_powtor, label);
            addPoint(S9, MT.Kol_Nakopl / Izd, label);
        }
        const Mod_Weib &G = s.MGenet;
        if (G.Executed) {
            if (auto f = at(G.F_Weib, i))
                addPoint(S5, *f * G.K_powtor * K_Interval, label);
            if (auto k = at(G.Kol_F_priv, i))
                addPoint(S6, *k / Izd * K_Interval, label);
            addPoint(S11, GT.Unsens * G.K_powtor, label);
            addPoint(S12, GT.Kol_Nakopl / Izd, label);
        }
        if (SM1) {
            if (auto k = at(ML.Kol_F_priv, i))
                addPoint(*SM1, *k * K_Interval / Izd, label);
            addPoint(*SM2, MLT.Kol_Nakopl / Izd, label);
        }
        if (s.MSmirn.Executed) {
            if (auto k = at(s.MSmirn.Kol_F_priv, i))
                addPoint(S4, *k * K_Interval / Izd, label);
            addPoint(S10, ST.Kol_Nakopl / Izd, label);
        }

        addPoint(S1, out * 100, label);
        addPoint(S7, out * 100, label);
        addPoint(S15, Expl_sum / s.Popravka_Unknow / Izd, label);
        x1 = x2;
    }
    storeModelTotals(s, totals);
    return {{std::move(c1), std::move(c2), std::move(c3)}, totals};
}

QString padCell(const QString &text, int columnWidth, const TextWidth &width)
{
    QString stroka = QStringLiteral(" ") + text;
    // A font whose space has no width would never reach the limit: at most one space
    // per pixel of the column is added.
    for (int guard = 0; guard < columnWidth && width(stroka) < columnWidth - 7; ++guard)
        stroka += u' ';
    return stroka;
}

namespace {

//! Fills the grid column by column; N_Row is the column being filled.
class TableBuilder {
public:
    TableBuilder(const State &s, const NumLocale &nl, const TextWidth &w, const PerModel &totals,
                 const std::array<KolmogorovFit, kModelOrder.size()> &kolmogorov)
        : s_(s), nl_(nl), w_(w), totals_(totals), kolmogorov_(kolmogorov)
    {
    }

    ResultsTable build()
    {
        N_Row = 1;
        BlockOut(ModelId::MPirsN, rtxt::colPirsN, 134);
        BlockOut(ModelId::MPirsS, rtxt::colPirsS, 118);
        BlockOut(ModelId::MSmirn, rtxt::colSmirn, 118);
        BlockOut(ModelId::MGenet, rtxt::colGenet, 118);
        BlockOut(ModelId::MMaxPr, rtxt::colMaxPr, 118);

        t_.dataColumn = N_Row;
        setWidth(N_Row, 128);
        for (int r = 0; r < ResultsTable::Rows; ++r)
            cell(0, r) = rtxt::rowCaptions[r];
        cell(N_Row, 0) = rtxt::colData;
        const QChar d = nl_.dec;
        CntrText(3, fmtRound(s_.T50expl) + rtxt::observed + fmtRound(s_.t50zen) + rtxt::censored);
        CntrText(4, fmtRound(s_.T80expl) + rtxt::hoursDotComma + fmtRound(s_.T90expl) +
                        rtxt::hoursCensored);
        CntrText(5, fmtRound(s_.Kol_izw) + QStringLiteral(" /") +
                        fmtRound(s_.Kol_izw / s_.Popravka_Unknow));
        cell(1, 10) = rtxt::row10More;
        CntrText(10, fmtF(s_.Pot08, 5, 4, d) + rtxt::perProduct100);
        CntrText(11, fmtF(s_.Otk_Izd, 4, 2, d));
        t_.widths[0] = ResultsTable::DefaultWidth;
        return t_;
    }

private:
    QString &cell(int col, int row) { return t_.cells[size_t(col)][size_t(row)]; }
    void setWidth(int col, int w)
    {
        if (col < ResultsTable::MaxCols)
            t_.widths[size_t(col)] = w;
    }

    void CntrText(int i, const QString &text)
    {
        if (N_Row >= ResultsTable::MaxCols)
            return;
        cell(N_Row, i) = padCell(text, t_.widths[size_t(N_Row)], w_);
    }

    //! The column of one model, when it is set.
    void BlockOut(ModelId id, const QString &st, int Wi)
    {
        const Mod_Weib &Model = modelRecord(s_, id);
        if (!Model.Executed)
            return;
        setWidth(N_Row, Wi);
        const ModelTotals &totals = totals_[size_t(id)];
        const KolmogorovFit &kolm = kolmogorov_[size_t(id)];
        const QChar d = nl_.dec;
        const double K = Model.K_powtor;
        cell(N_Row, 0) = st;
        // A figure the data leave undetermined keeps its text and gets the mark.
        auto open = [&Model](std::initializer_list<const char16_t *> keys) {
            for (const char16_t *k : keys)
                if (std::find(Model.undetermined.begin(), Model.undetermined.end(),
                              QStringView(k)) != Model.undetermined.end())
                    return true;
            return false;
        };
        auto mark = [](bool undetermined) {
            return undetermined ? rtxt::undeterminedMark : QString();
        };
        // A time the model never reaches is written as the cap, and is undetermined too.
        auto time = [&](double p, const char16_t *key) {
            const double t = weibinv(Model.A, Model.B, p / K);
            return fmtRound(t) + rtxt::hoursDot + mark(p / K >= 1 || open({key}));
        };
        CntrText(1, fmtF(1 / Model.A, 6, 2, d) + mark(open({u"inv_A"})) + QStringLiteral(", / ") +
                        fmtF(Model.B, 7, 5, d) + mark(open({u"B"})));
        CntrText(2, fmtF(K, 6, 3, d) + mark(open({u"K"})));
        CntrText(3, time(0.5, u"t_0.5"));
        CntrText(4, time(0.2, u"t_0.2") + QStringLiteral(", ") + time(0.1, u"t_0.1"));
        CntrText(5, fmtRound(totals.Kol_Nakopl) + QStringLiteral(" /") +
                        fmtRound(totals.Kol_Nakopl / s_.Popravka_Unknow));
        CntrText(6, fmtF(1.96 * Model.SKO_out, 5, 2, d) + QStringLiteral(" / ") +
                        fmtF(Model.SKO_out, 5, 2, d));
        if (Model.empiricalLaw) {
            // The box figures were not used: the fit read the warranty-times file's law.
            CntrText(7, rtxt::empiricalLaw);
            CntrText(8, rtxt::empiricalLaw);
        } else {
            CntrText(7, fmtF(Model.Sred, 4, 1, d) + rtxt::hours + mark(open({u"Sred"})));
            CntrText(8, fmtF(Model.SKO, 4, 1, d) + rtxt::hours + mark(open({u"SKO"})));
        }
        CntrText(9, fmtF(kolm.value, 6, 3, d) + kolm.verdict);
        CntrText(11, fmtF(K * weibCDF2(Model.A, Model.B, 0, s_.tGar), 6, 2, d) +
                         mark(open({u"M_tGar"})));
        ++N_Row;
    }

    const State &s_;
    const NumLocale &nl_;
    const TextWidth &w_;
    const PerModel &totals_;
    const std::array<KolmogorovFit, kModelOrder.size()> &kolmogorov_;
    ResultsTable t_;
    int N_Row = 1;
};

}   // namespace

std::array<KolmogorovFit, kModelOrder.size()> modelKolmogorov(const State &s)
{
    std::array<KolmogorovFit, kModelOrder.size()> out;
    for (ModelId id : kModelOrder) {
        const Mod_Weib &m = modelRecord(s, id);
        KolmogorovFit &k = out[size_t(id)];
        if (m.Executed)
            Kolmogor(s, m.K_powtor, m.A, m.B, m.Sred, m.SKO, k.value, k.verdict);
    }
    return out;
}

ResultsTable resultsTable(const State &s, const NumLocale &nl, const TextWidth &width,
                          const PerModel &totals,
                          const std::array<KolmogorovFit, kModelOrder.size()> &kolmogorov)
{
    return TableBuilder(s, nl, width, totals, kolmogorov).build();
}

QString label10Text(const State &s)
{
    return s.Comment + QStringLiteral(" (") + fmtInt(s.Kol_Izd_All) + rtxt::pieces;
}

QStringList implausibleFigures(const State &s, const NumLocale &nl)
{
    QStringList out;
    const size_t n = s.MasProbl.size();
    if (n == 0)
        return out;
    const QChar d = nl.dec;
    auto big = [d](double v) {
        QString t = std::fabs(v) < 1e7 ? fmtRound(v) : QString::number(v, 'g', 3);
        return t.replace(u'.', d);
    };
    double latest = 0;
    size_t atZero = 0;
    for (const Problems &p : s.MasProbl) {
        latest = std::max(latest, p.time);
        atZero += p.time == 0 ? 1 : 0;
    }
    bool anyModel = false;
    for (ModelId id : kModelOrder)
        anyModel = anyModel || modelRecord(s, id).Executed;
    if (atZero == n) {
        out << rtxt::allAtZero(int(n));
    } else if (anyModel && n < 5) {
        out << rtxt::fewFailures(int(n));
    }
    // The data reach the later of the last failure and the warranty mean.
    const double reach = std::max(latest, s.Sred);
    for (ModelId id : kModelOrder) {
        const Mod_Weib &M = modelRecord(s, id);
        if (!M.Executed)
            continue;
        const QString name = modelCaption(id);
        if (M.B < 0.01)
            out << rtxt::zeroShape(name, fmtF(M.B, 7, 5, d));
        if (M.K_powtor > 0 && 0.5 / M.K_powtor < 1 && reach > 0) {
            const double t = weibinv(M.A, M.B, 0.5 / M.K_powtor);
            if (std::isfinite(t) && t > 100 * reach)
                out << rtxt::farMeanTime(name, big(t), big(t / reach), big(reach));
        }
    }
    // A failure far beyond the warranty law counts for 1/(1 - F) failures. The failures
    // per product sum those weights up to the first failure at or after tGar: when they
    // average more than ten per failure, one or a few such failures make the figure.
    if (s.Izd_Prived > 0 && s.SKO > 0 && s.Otk_Izd > 10 * double(n) / s.Izd_Prived) {
        double worst = 0, at = 0;
        for (const Problems &p : s.MasProbl) {
            const double w = 1 / (1 - CDF_Gauss(s.Sred, s.SKO, p.time));
            if (w > worst) {
                worst = w;
                at = p.time;
            }
            if (p.time >= s.tGar)
                break;   // the sum of the figure ends here
        }
        if (worst > s.Izd_Prived)
            out << rtxt::heavyFailure(fmtF(s.Otk_Izd, 4, 2, d), fmtGeneral(at, d),
                                      fmtF((at - s.Sred) / s.SKO, 0, 1, d), big(worst));
    }
    return out;
}

ResultsView computeResults(State &s, const NumLocale &nl, const TextWidth &width,
                           ResultsTitles &titles)
{
    ResultsView v;
    v.setAside = setAsideStaleModels(s);
    Potok08(s);
    ResultsCharts charts = resultsCharts(s, nl, titles);
    v.chart1 = std::move(charts.charts[0]);
    v.chart2 = std::move(charts.charts[1]);
    v.chart3 = std::move(charts.charts[2]);
    v.totals = charts.totals;
    v.label10 = label10Text(s);
    v.kolmogorov = modelKolmogorov(s);
    v.table = resultsTable(s, nl, width, v.totals, v.kolmogorov);
    v.implausible = implausibleFigures(s, nl);
    return v;
}

ResultsView computeResults(State &s, const NumLocale &nl, const TextWidth &width)
{
    ResultsTitles fresh;
    return computeResults(s, nl, width, fresh);
}

}   // namespace obr
