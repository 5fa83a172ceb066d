// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Maximum-likelihood fit of the warranty model.
 *
 * Recorded failures form a Poisson process in operating time with intensity
 * N'·K·f(t)·S_W(t), f the Weibull density of F(t) = 1 − exp(−A·t^B) and S_W the share of
 * products still under warranty at t (a normal law or the empirical law of the loaded
 * warranty end times). The log-likelihood of the recorded times t_1..t_n is
 *
 *     l(A, B, K) = Σ ln(N'·K·f(t_i)·S_W(t_i)) − N'·K·I(A, B),   I = E[F(W)],
 *
 * so K̂ = n/(N'·Î) and K is profiled out exactly. The fit gives the estimates, Fisher
 * (Wald on logarithms, delta method) and likelihood-ratio bounds for every figure of the
 * results table, the goodness of fit over the histogram, and says when the data determine
 * only K·A and B (a ridge of the likelihood).
 *
 * Plain records in, a plain record out; no state is read or written except by
 * publishMaxPr, which fills the model record MMaxPr for the results table and charts.
 */
#include "model/errors.h"
#include "model/state.h"

#include <QChar>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <vector>

namespace obr::mle {

//! The warranty law that decides which failures are recorded.
enum class WarrantyLaw { Normal, Empirical };

//! One recorded failure.
struct Failure {
    double time = 0;   //!< operating time, hours
    int cause = 0;     //!< index in the sorted cause table, 0 = not established
    int line = 0;      //!< its line in the data file; 0 when it came from no file
};

//! What the fit needs, as the calculation reads it from the boxes and the loaded files.
struct MleInput {
    std::vector<Failure> failures;   //!< in any order; equal times are combined
    double Izd_Prived = 0;           //!< reduced fleet N'
    double Sred = 0;                 //!< warranty mean (normal law), hours
    double SKO = 0;                  //!< warranty deviation (normal law), hours
    bool fitSred = false;            //!< estimate Sred jointly (normal law only)
    bool fitSKO = false;             //!< estimate SKO jointly (normal law only)
    double tGar = 0;                 //!< period of the figure K·F(tGar), hours
    WarrantyLaw law = WarrantyLaw::Normal;
    std::vector<double> warrantyTimes;   //!< the empirical law's warranty end times
    double level = 0.95;                 //!< confidence level of both kinds of bounds
    double fleet = 0;                    //!< fleet of the claims forecast
    //! Histogram: upper bounds of the intervals (as built, whole hours) and their counts.
    std::vector<double> histBounds;
    std::vector<int32_t> histCounts;
    bool lrBounds = true;   //!< compute the likelihood-ratio bounds (slowest part)
    QChar dec = u'.';       //!< decimal separator of the numbers in messages
};

//! A two-sided bound; an unbounded side is empty.
struct Bound {
    std::optional<double> low, high;
};

//! One figure: its estimate (empty when it has no finite value) and both kinds of bounds.
struct Figure {
    QString key;   //!< "B", "inv_A", "eta", "K", "KA", "t_0.5", ..., "Sred", "SKO"
    std::optional<double> estimate;
    Bound fisher;
    Bound lr;
    //! False when the information at the estimate is singular or the estimate sits at a
    //! range limit: the Fisher bounds are then not determined (both sides empty).
    bool fisherDetermined = true;
    //! False when a side of the likelihood-ratio bounds could not be settled within the
    //! bounded effort (that side is empty).
    bool lrDetermined = true;
};

//! Goodness of fit.
struct Gof {
    double kolmogorov = 0;       //!< D·√n as in the results table
    QString kolmogorovVerdict;   //!< " <1.3581(0.05)" or " >1.3581(0.05)"
    double chi2 = 0;             //!< Pearson's X² over the histogram cells and the tail
    double deviance = 0;         //!< the Poisson deviance over the same cells
    int cells = 0;               //!< cells including the tail beyond the last bound
    int df = 0;                  //!< cells − fitted parameters
    std::optional<double> chi2P, devianceP;   //!< empty when df < 1
};

//! One time of the pointwise band of the recorded cumulative failures per product
//! M(t) = K·F(t): the estimate and both kinds of bounds at the fit's level.
struct BandPoint {
    double t = 0;                     //!< hours
    std::optional<double> estimate;   //!< empty when M(t) has no finite value
    Bound fisher;                     //!< Wald on ln M(t) by the delta method
    Bound lr;                         //!< the profile-likelihood interval of M(t)
};

//! The outcome of a fit.
struct MleResult {
    double A = 0, B = 0, K = 0;
    double Sred = 0, SKO = 0;   //!< as used (or fitted)
    double I = 0;               //!< E[F(W)] at the estimate
    int n = 0;                  //!< recorded failures
    int parameters = 3;         //!< fitted parameters (3, 4 or 5)
    double loglik = 0, AIC = 0, BIC = 0;
    int iterations = 0;
    double gradientNorm = 0;   //!< max |score| over the free parameters at the end
    double level = 0.95;
    WarrantyLaw law = WarrantyLaw::Normal;
    double fleet = 0;
    std::vector<Figure> figures;   //!< in the order of the JSON keys
    bool ridge = false;            //!< only K·A and B are determined
    bool limit = false;            //!< the maximum is not attained: K sits on its range's end
    QString ridgeMessage;          //!< empty when there is no ridge
    QString warrantyMessage;       //!< weakly determined Sred/SKO; empty otherwise
    QString effortMessage;         //!< the fit or a bound did not settle within its effort
    QString zeroMessage;           //!< how many failures at 0 h were taken as (0, 0.1 h]
    Gof gof;
    //! Covariance of (ln A, ln B, ln K[, Sred][, ln SKO]) (row-major); empty when the
    //! observed information is not positive definite.
    std::vector<double> covariance;
    double corrLnALnK = 0;
    //! The pointwise band of M(t) over the probability plot's times, when the calculation
    //! asked for it (cumulativeBand); empty otherwise.
    std::vector<BandPoint> band;

    const Figure *figure(const QString &key) const;
};

//! A fit stopped through its cancel flag (the program's one stop exception). Nothing has
//! been written anywhere.
using Cancelled = obr::Cancelled;

//! The recording resolution of failure times: a failure at 0 h lies in (0, kZeroHour].
constexpr double kZeroHour = 0.1;

//! Admissible ranges of the shape and the repeat coefficient.
constexpr double kBMin = 0.05, kBMax = 20, kKMin = 0.001, kKMax = 1000;

/*! \brief Fits the model. Throws obr::UserError (Russian message naming the first bad
 *  line where there is one) when the likelihood is undefined or an input is impossible,
 *  and Cancelled when \a cancel (may be null) becomes true; it is checked between
 *  iterations. */
MleResult fitMle(const MleInput &in, const std::atomic<bool> *cancel = nullptr);

/*! \brief \a n times evenly spaced in ln t from \a first to \a last (the times of the
 *  probability plot: the first recorded failure to the later of the last one and tGar).
 *  When \a last is not after \a first the times are one unit of ln t apart. */
std::vector<double> bandTimes(double first, double last, int n = 40);

/*! \brief The pointwise band of M(t) = K·F(t) at each of \a times for the fit \a r of
 *  \a in (fitMle(in)), at r.level: Fisher bounds always (when the information is positive
 *  definite), likelihood-ratio bounds (each the profile of M(t) as the figure M_tGar is
 *  bounded at tGar) unless in.lrBounds is false. A side the deviance never reaches within
 *  the admissible range is empty. Throws Cancelled when \a cancel turns true. */
std::vector<BandPoint> cumulativeBand(const MleInput &in, const MleResult &r,
                                      const std::vector<double> &times,
                                      const std::atomic<bool> *cancel = nullptr);

//! One cause's own fit.
struct CauseFit {
    int cause = 0;   //!< index in the sorted cause table, 0 = not established
    int n = 0;       //!< its recorded failures
    std::optional<MleResult> result;
    QString error;   //!< the refusal, when the cause could not be fitted
};

/*! \brief Fits every cause with at least \a minFailures failures on its own (the failures
 *  of one cause are a Poisson process of the same form), causes in increasing index
 *  order, the not-established cause (0) first when it qualifies. */
std::vector<CauseFit> fitCauses(const MleInput &in, int minFailures = 5,
                                const std::atomic<bool> *cancel = nullptr);

/*! \brief Fills s.MPirsS-like arrays of s.MMaxPr from the fit over s.Hist_Arr: A, B,
 *  K_powtor, Sred, SKO, F_Weib, F_norm (share out of warranty at the interval's midpoint),
 *  Kol_F_priv, and sets Executed. */
void publishMaxPr(State &s, const MleResult &r, const MleInput &in);

//! The "mle" object of the command line's JSON.
QJsonObject mleJson(const MleResult &r);

/*! \brief One object per cause fit: "cause" (index), "name", "n", then the keys of mleJson,
 *  or "error" with the refusal. \a names maps a cause index to its name. */
QJsonArray causesJson(const std::vector<CauseFit> &fits, const std::vector<QString> &names);

//! \brief The input of a fit from the working state: failures, N', histogram.
MleInput inputFromState(const State &s);

namespace detail {
//! The profile of one figure at one value, solved afresh: for the tests of the bounds.
struct ProfileCheck {
    bool ok = false;                //!< the value is held by a point of the admissible range
    double deviance = 0;            //!< 2·(l̂ − max l) with the value held, admissible ranges
    double wideDeviance = 0;        //!< the same over ranges far wider than the admissible ones
    bool limited = false;           //!< a range limit took part in the maximum
    bool estimateAtLimit = false;   //!< the fit's maximum is not attained inside the ranges
    double lo = 0, hi = 0;          //!< the figure's walk range
};
ProfileCheck profileAt(const MleInput &in, const MleResult &r, const QString &key, double value,
                       bool wideToo = false);
}   // namespace detail

//! Texts of the fit, each written once.
namespace mtxt {
//! "отказ в строке N файла" (\a line > 0) or "отказ № rank" (in time order).
QString failureWho(int line, int rank);
QString failureNotPositive(const QString &who, double t, QChar dec = u'.');
QString warrantyEnded(const QString &who, double t, QChar dec = u'.');
QString noFailures();
QString oneTime();
QString badFleet();
QString badSKO();
QString badLevel();
QString badTGar();
QString noWarrantyFile();
QString noStart();
QString ridge();
QString limit();
QString warrantyWeak();
QString notPositiveDefinite();
QString notConverged();
QString boundsEffort();
QString zeroHours(int count, QChar dec = u'.');
QString done(double seconds);
}   // namespace mtxt

}   // namespace obr::mle
