// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The whole analysis of obrotk-cli, driven through the same core calls, in the
 * same order and through the same box texts as the main window: loading the failure
 * file (and the warranty file), the calculation of "Расчет", the genetic run, the
 * refresh of the results window, the enlarged chart and the nonparametric analysis.
 */
#include "cli/options.h"

#include "fit/fits.h"
#include "io/loaders.h"
#include "mle/mle.h"
#include "model/numfmt.h"
#include "model/state.h"
#include "nonparam/out_graph_2_2015.h"
#include "results/expand_dia1.h"
#include "results/out_graph2015.h"

#include <QStringList>
#include <array>
#include <functional>
#include <optional>

namespace obr::cli {

//! The JSON name of a model: its record's name in the state.
QString modelName(ModelId id);

//! Work figures of one executed search.
struct ModelRun {
    bool ran = false;
    int64_t passes = 0;        //!< passes over the parameters; generations for the genetic run
    int64_t evaluations = 0;   //!< objective evaluations
    double seconds = 0;
    std::optional<double> objective;   //!< the fit's own criterion at the published point
    std::vector<BoundHit> atBound;     //!< parameters that ended at a bound of their range
};

//! The header of the failure data file as read.
struct FileHeader {
    double Sred = 0;
    double SKO = 0;
    int32_t Kol_Izd_All = 0;
    int32_t KolOtk = 0;
    int32_t NPrich = 0;
};

//! Everything one run produces; the outputs are written from it.
struct Analysis {
    State s;   //!< the working state at the end
    FileHeader header;
    std::vector<Marker> markers;   //!< threshold markers of the failure list
    NumLocale nl;
    double usedSred = 0;   //!< warranty figures the calculation read from the boxes
    double usedSKO = 0;
    double usedTGar = 0;
    QStringList log;                        //!< Memo2, starting with "Ход решения"
    std::array<ModelRun, 5> runs;           //!< by ModelId
    std::array<Mod_Weib, 5> models;         //!< the model records as the results table showed them
    std::optional<mle::MleResult> mle;      //!< the maximum-likelihood fit, when it ran
    std::vector<mle::CauseFit> mleCauses;   //!< its fit per cause with at least 5 failures
    bool mleLr = true;                      //!< the report shows its LR bounds (or Fisher's)
    ChartData mleProbPlot;                  //!< its probability plot (when it ran)
    ChartData mleCausesChart;               //!< its causes chart (when it ran)
    double Pot08 = 0;
    ResultsView results;   //!< with the model totals and Kolmogorov statistics shown
    ExpandView expand;
    std::optional<NonparamResult> nonparam;
    std::vector<Hist_Rec> histogram;
    int32_t unknownCauseCount = 0;
};

//! Progress of the genetic run: generation done, generations in all, percent.
using GenProgress = std::function<void(int32_t generation, int32_t generations, int percent)>;

/*! \brief Checks the number texts given on the command line with the parsers of the
 *  boxes they stand for. Throws UsageError naming the option. */
void checkOptionNumbers(const Options &o);

/*! \brief Runs the analysis. Throws UserError with the window's message when a file
 *  cannot be read or holds an error, or a calculation step fails; nothing is written. */
Analysis runAnalysis(const Options &o, const TextWidth &width, const GenProgress &progress = {});

}   // namespace obr::cli
