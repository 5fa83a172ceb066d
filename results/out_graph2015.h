// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The results of a calculation as data: the results table, the failure flow
 * after running-in, the model totals and the content of the three result charts.
 *
 * Nothing here knows a widget. The results window shows what computeResults returns;
 * the only thing it lends the core is the pixel width of a text in the grid's font.
 */
#include "model/chartdata.h"
#include "model/numfmt.h"
#include "model/state.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

namespace obr {

//! Pixel width of a text in the font of the results grid.
using TextWidth = std::function<int(const QString &)>;

//! The models of the results, in the order of the table's columns.
enum class ModelId { MPirsN = 0, MPirsS = 1, MSmirn = 2, MGenet = 3, MMaxPr = 4 };
constexpr std::array<ModelId, 5> kModelOrder = {ModelId::MPirsN, ModelId::MPirsS, ModelId::MSmirn,
                                                ModelId::MGenet, ModelId::MMaxPr};
//! The record of a model in the state.
const Mod_Weib &modelRecord(const State &s, ModelId id);
Mod_Weib &modelRecord(State &s, ModelId id);

//! A model's sums over the histogram intervals, as the charts and the table show them.
struct ModelTotals {
    double Kol_Nakopl = 0;   //!< the model's failures (Kol_F_priv) summed
    double Unsens = 0;       //!< its Weibull probabilities (F_Weib) summed; 0 for Smirnov
};
//! One record per model, indexed by ModelId; zero for a model that is not set.
using PerModel = std::array<ModelTotals, kModelOrder.size()>;

//! The Kolmogorov statistic of a model and the verdict text shown after it.
struct KolmogorovFit {
    double value = 0;
    QString verdict;
};

//! The results grid: 6 columns x 12 rows of texts and the widths the pass set.
struct ResultsTable {
    static constexpr int Cols = 6;
    //! Columns held: the designed six, and one more for the maximum-likelihood model when
    //! all five models are shown.
    static constexpr int MaxCols = Cols + 1;
    static constexpr int Rows = 12;
    static constexpr int DefaultWidth = 170;
    std::array<std::array<QString, Rows>, MaxCols> cells;   //!< cells[col][row]
    //! Width set by the pass for each column; 0 = left as it was (columns right of the data).
    std::array<int, MaxCols> widths{};
    int dataColumn = 1;   //!< index of the "Данные эксплуатации" column

    const QString &cell(int col, int row) const { return cells[size_t(col)][size_t(row)]; }
};

/*! \brief Titles that, once changed by a refresh, keep their new text for the rest of
 *  the run. The results window keeps one and hands it to every refresh. */
struct ResultsTitles {
    bool pearsonRetitled = false;
};

//! Everything the results window shows.
struct ResultsView {
    ResultsTable table;
    QString label10;
    ChartData chart1;   //!< failure flow per 100 hours by cause with the model curves
    ChartData chart2;   //!< accumulated failures with the model curves
    ChartData chart3;   //!< observed flow beside the flow corrected for withdrawal
    PerModel totals;    //!< the model totals the chart pass formed and the table shows
    //! The Kolmogorov statistic of each model that is set (by ModelId), as the table shows it.
    std::array<KolmogorovFit, kModelOrder.size()> kolmogorov;
    //! The models this refresh set aside: fitted to other data than those loaded.
    std::vector<ModelId> setAside;
    //! Warnings on figures of the table outside any sensible range, each saying why.
    QStringList implausible;
};

/*! \brief The warnings a user needs beside figures the formulas give but no data support:
 *  too few failures to determine a model, a model's mean time to failure far beyond the
 *  data, a failure whose weight for the withdrawal from warranty exceeds the fleet (the
 *  failures per product), a shape parameter of about 0 or every failure at 0 h. The
 *  figures themselves are left as computed. */
QStringList implausibleFigures(const State &s, const NumLocale &nl);

/*! \brief Clears the flag of every model fitted to other data than the loaded ones
 *  (Mod_Weib::dataSet differs from State::dataSet), so that it is neither shown nor
 *  exported beside them. Returns the models set aside. */
std::vector<ModelId> setAsideStaleModels(State &s);
//! The table caption of a model, without its padding.
QString modelCaption(ModelId id);

/*! \brief Failures per product per 100 hours between 20% and 100% of the mean warranty
 *  period, each failure weighted by the inverse share still under warranty. Writes and
 *  returns s.Pot08. */
double Potok08(State &s);

/*! \brief Adds histogram interval \a i to the totals of every model that is set. Refreshing
 *  starts from zero totals, so two refreshes in a row give the same. */
void advanceModelTotals(PerModel &totals, const State &s, size_t i);
/*! \brief Leaves the totals of a refresh in the state's model records: the genetic and the
 *  Smirnov records always (0 when the model is not set), the others when they are set. */
void storeModelTotals(State &s, const PerModel &totals);

/*! \brief What both chart passes start from, for causes 0 to \a lastCause: SumNund and
 *  Sum_PrichRow summed over the histogram, Sum_PrichCol at 0, F_OutGar at 0 for every
 *  interval. Returns the causes from 1 to \a lastCause that have failures. */
std::vector<int> startCauseTotals(State &s, int lastCause);

//! What the chart pass gives: the three charts and the model totals it formed.
struct ResultsCharts {
    std::array<ChartData, 3> charts;
    PerModel totals;
};

/*! \brief The chart pass of the results window: the content of Chart1, Chart2, Chart3.
 *  Writes SumNund, Sum_PrichRow, Sum_PrichCol (0..10), F_OutGar and the model totals. */
ResultsCharts resultsCharts(State &s, const NumLocale &nl, ResultsTitles &titles);

//! The Kolmogorov statistic of every model that is set, by ModelId.
std::array<KolmogorovFit, kModelOrder.size()> modelKolmogorov(const State &s);

/*! \brief The table pass: row captions, one column per model that is set, then the
 *  column of the operational data, from the totals of the chart pass and the Kolmogorov
 *  statistics. */
ResultsTable resultsTable(const State &s, const NumLocale &nl, const TextWidth &width,
                          const PerModel &totals,
                          const std::array<KolmogorovFit, kModelOrder.size()> &kolmogorov);

//! Label10: the data set's comment and fleet size.
QString label10Text(const State &s);

/*! \brief The whole refresh of the results window: Potok08, the chart pass, Label10, the
 *  Kolmogorov statistics and the table pass, in this order. */
ResultsView computeResults(State &s, const NumLocale &nl, const TextWidth &width,
                           ResultsTitles &titles);
//! As above for a first refresh (designed titles).
ResultsView computeResults(State &s, const NumLocale &nl, const TextWidth &width);

//! The legend text of a cause: "N, всего D (P%) случаев".
QString causeTitle(const Vid_otkaza &cause, int32_t kolIzw, const NumLocale &nl);

/*! \brief CntrText's padding: one leading space, then trailing spaces while the text is
 *  narrower than the column width less 7 pixels. */
QString padCell(const QString &text, int columnWidth, const TextWidth &width);

}   // namespace obr
