// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Fitting the censored Weibull model: the Pearson-type objective with its two
 * searches (cyclic "Newton" search and spiral descent) and the Smirnov-criterion fit.
 *
 * The searches move one parameter at a time along a walk of equal steps. The walks are
 * found without evaluating every step (galloping and bisection over the differences of
 * neighbouring positions, with the invariant parts of the objective computed once), yet
 * every fit publishes exactly the point that the step-by-step walk reaches.
 */
#include "model/seams.h"
#include "model/state.h"

#include <QChar>
#include <QString>
#include <atomic>
#include <cstdint>
#include <limits>
#include <vector>

namespace obr {

//! Items of RadioGroup1 ("Стандарт", "Спец 1", "Спец 2"); no item selected acts as Spec2.
enum class Criterion { Standard = 0, Spec1 = 1, Spec2 = 2 };

//! Maps the radio group's item index (-1 when none is selected) to a criterion.
Criterion criterionFromIndex(int index);

/*! \brief Parses a step-reduction coefficient box. Throws UserError naming the box when
 *  the text is not a number or the number is not greater than 1. */
double readStepCoefficient(const QString &text, QChar dec, const QString &boxCaption);

/*! \brief The Pearson-type objective of a censored Weibull model against s.Hist_Arr.
 *  Writes the per-interval F_norm, F_Weib and Kol_F_priv of \a Mpir (grown to the
 *  histogram's length when shorter). Throws UserError when the value is not a finite
 *  number (with criterion Standard: an interval whose model count is zero or too small). */
double Pirson(const State &s, double A, double B, double k_pwt, double Mu, double Sig,
              Mod_Weib &Mpir, Criterion c);

/*! \brief A stop request for a running fit, set from another thread. The fits read it
 *  between passes and then throw Cancelled, leaving their model not executed. */
using CancelFlag = std::atomic<bool>;

//! The three fits that take a step-reduction coefficient.
enum class FitKind { Spiral, Newton, Smirnov };

//! The most passes a fit may be asked to make (about a day of work at the default sizes).
constexpr int64_t kMaxFitPasses = 100000000;

/*! \brief The passes fit \a kind needs with step-reduction coefficient \a k > 1: every
 *  step shrinks by k per pass until it is below its tolerance, so the widest ratio of a
 *  first step to its tolerance decides, ceil(ln(ratio) / ln(k)). */
double fitPassesNeeded(FitKind kind, double k);

//! \brief The smallest coefficient (written with 9 decimals, rounded up) whose fit needs
//! no more than kMaxFitPasses passes.
double smallestStepCoefficient(FitKind kind);

/*! \brief Throws UserError naming the box and giving the smallest coefficient allowed when
 *  fit \a kind would need more than kMaxFitPasses passes with \a k. */
void checkStepPasses(FitKind kind, double k, const QString &boxCaption, QChar dec);

//! A fitted parameter that ended at a bound of its search range.
struct BoundHit {
    QString parameter;   //!< the parameter's name as the log writes it
    double bound = 0;    //!< the bound it ended at
    bool upper = true;
};

//! Work counters of one fit (for the benchmark and tests).
struct FitStats {
    int64_t evaluations = 0;       //!< objective evaluations
    int64_t stepEvaluations = 0;   //!< evaluations the step-by-step walks would make
    int64_t passes = 0;            //!< passes over all parameters
    //! Weibull terms of the evaluations that lay past the exponent where the value is
    //! exactly 1 and were taken without calling pow or exp.
    int64_t saturatedTerms = 0;
    double seconds = 0;   //!< wall-clock duration
    //! The fit's own criterion at the published point (set by Podbor_Weib_Smirnow; the
    //! Pearson fits' value is Pirson at their published point). NaN when not set.
    double objective = std::numeric_limits<double>::quiet_NaN();
    //! Parameters that ended at a bound of their range (each also logged).
    std::vector<BoundHit> atBound;
};

/*! \brief Spiral-descent fit of the Pearson objective. Fills s.MPirsS; with s.Sred_Opt /
 *  s.SKO_Opt set also rewrites s.Sred / s.SKO with the fitted values. Appends its log line.
 *  Throws UserError when KdivSpir <= 1 or the objective cannot be computed; then the
 *  model is left not executed and the globals unchanged. A parameter that ends at a bound
 *  of its range gets a log line (numbers with \a dec) and an entry in stats->atBound. */
void SpirSp_Execute(State &s, double KdivSpir, Criterion c, const LogSink &log,
                    FitStats *stats = nullptr, QChar dec = u'.',
                    const CancelFlag *cancel = nullptr);

/*! \brief Cyclic ("Newton") search of the Pearson objective. Fills s.MPirsN (A and B go
 *  to \a Arez and \a Brez; the driver passes s.MPirsN.A and s.MPirsN.B); may rewrite
 *  s.Sred / s.SKO like SpirSp_Execute. Appends its log line. */
void Podbor_Weib_Pirson(State &s, double &Arez, double &Brez, double Kdiv_Pirs, Criterion c,
                        const LogSink &log, FitStats *stats = nullptr, QChar dec = u'.',
                        const CancelFlag *cancel = nullptr);

/*! \brief Smirnov-criterion fit to the individual failure times. Fills s.MSmirn (A and B
 *  go to \a Arez and \a Brez; the driver passes s.MSmirn.A and s.MSmirn.B). Uses s.Sred
 *  and s.SKO as they stand and never changes them. Appends its log line. \a threads
 *  share out each evaluation (0 = one per core; 1 = the calling thread alone; at most 4
 *  are used); the point, the log and the statistics are the same for any number. */
void Podbor_Weib_Smirnow(State &s, double &Arez, double &Brez, double KdivSm, const LogSink &log,
                         FitStats *stats = nullptr, QChar dec = u'.',
                         const CancelFlag *cancel = nullptr, int threads = 1);

//! Texts of the fits (log lines and refusals), each written once.
namespace fittxt {
QString spiralDone(int64_t seconds);
QString newtonDone(int64_t seconds);
QString smirnovDone(int64_t seconds);
//! Refusal of a step-reduction coefficient that is not greater than 1.
QString coefficientTooSmall(const QString &text, const QString &boxCaption);
//! A coefficient so close to 1 that the fit would need \a passes passes.
QString coefficientTooManyPasses(const QString &text, const QString &boxCaption, double passes,
                                 const QString &smallest);
//! The log line of a fitted parameter that ended at a bound of its range.
QString atBound(const QString &method, const BoundHit &hit, QChar dec);
//! Criterion Standard met an interval whose model count is zero (or too small).
QString standardZeroCount();
//! The objective of \a method gave a value that is not a finite number.
QString notFinite(const QString &method);
}   // namespace fittxt

}   // namespace obr
