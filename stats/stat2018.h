// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Statistical functions: the error function and the normal law, the censored
 * Weibull law and its quantile, the Kolmogorov test, the failure histogram and a
 * model's expected counts on it.
 */
#include "model/seams.h"
#include "model/state.h"

#include <QChar>
#include <QString>
#include <cmath>
#include <optional>
#include <span>
#include <vector>

namespace obr {

/*! \brief Complementary error function erfc(X).
 *  Rational approximation for 0.5 <= X < 10 (Hart et al., Computer Approximations,
 *  the coefficients of the classic erfc(x) = exp(-x^2) P(x)/Q(x) fit). */
double ErfC(double X);
//! \brief Error function erf(X); series branch below 0.5, ErfC above.
double Erf(double X);
//! \brief Standard normal distribution function.
double NormalDistribution(double X);
//! \brief P(N(Sred, SKO) < X). Argument order: mean, deviation, point.
double CDF_Gauss(double Sred, double SKO, double X);

/*! \brief The least value of a Weibull probability: F(X) and F(X2) - F(X1) never fall
 *  below it, so the criteria may divide by a model count and take its logarithm. */
inline constexpr double kWeibFloor = 1e-305;

/*! \brief Above this exponent A X^B the Weibull value 1 - exp(-A X^B) is exactly 1:
 *  exp(-40) = 4.2e-18 lies far below 2^-54 = 5.6e-17, half the spacing of the doubles
 *  just below 1, so the subtraction rounds to 1 (and it does from about 37.5 on, which
 *  leaves room for the rounding of the exponent). weibFromPow returns 1 there without
 *  calling exp, whose results far out underflow to subnormals or 0 and take its slow path;
 *  an evaluation over ascending times may take every later value as 1 (fit/engines.cpp). */
inline constexpr double kWeibSaturated = 40;

/*! \brief Weibull F from its exponent \a x = A X^B: 1 - exp(-x), never below kWeibFloor,
 *  and 1 above kWeibSaturated. (-A) X^B and -(A X^B) are the same double, so this is the
 *  value 1 - exp(-A * X^B) gives, bit for bit. */
inline double weibFromExponent(double x)
{
    if (x > kWeibSaturated)
        return 1;
    const double w = 1 - std::exp(-x);
    return w > 0 ? w : kWeibFloor;
}

/*! \brief Weibull F from the power X^B already computed: 1 - exp(-A pw), never below
 *  kWeibFloor. Every evaluation of F goes through here, so a cached power gives the
 *  value weibCDF gives, bit for bit. */
inline double weibFromPow(double A, double pw) { return weibFromExponent(A * pw); }

/*! \brief F(X2) - F(X1) from the two values \a w2 = F(X2) and \a w1 = F(X1); a negative
 *  difference (rounding at the top of the law) is replaced by kWeibFloor. */
inline double weibDiff(double w2, double w1)
{
    const double w = w2 - w1;
    return w < 0 ? kWeibFloor : w;
}

//! \brief Weibull F(X) = 1 - exp(-A X^B), never below kWeibFloor.
double weibCDF(double A, double B, double X);
/*! \brief F(X2) - F(X1). With X1 > X2 the core notifier shows "Параметры должны быть
 *  x2>x1" and 0 is returned. A negative difference is replaced by kWeibFloor. */
double weibCDF2(double A, double B, double X1, double X2);
//! \brief Weibull quantile: ((1/A) ln(1/(1-P)))^(1/B) for P < 1, otherwise 1e10.
double weibinv(double A, double B, double P);

/*! \brief Kolmogorov statistic of a censored model against the recorded failure times.
 *  Reads MasProbl, Izd_Prived and Kol_izw of \a s. */
void Kolmogor(const State &s, double Kpwt, double A, double B, double Mu, double Sig,
              double &KolmCrt, QString &S);

/*! \brief Rebuilds s.Hist_Arr from s.MasProbl (sorted) and sets D_Hist1, D_Hist2.
 *  Throws UserError when no failure is loaded. */
void hist(State &s);

/*! \brief A model's expected failures per histogram interval, their sum and the model's
 *  deviation against the observed counts; appends the 95% line to \a log.
 *  Reads Hist_Arr, Izd_Prived, Sred and SKO of \a s. */
void Hist_Made(const State &s, double A, double B, double Kpowt,
               std::vector<double> &Mas_Model_Hist, double &N_Nakopl, double &SKO_,
               const LogSink &log, QChar dec);

//! The times by which half of the fleet has failed; 0 when the half is never reached.
struct HalfFleetTimes {
    double t50 = 0;    //!< from the recorded failures as they are
    double tz50 = 0;   //!< with every failure weighted by 1 / (1 - share out of observation)
};

/*! \brief Half-fleet times over the failure records \a P (sorted by time) for a fleet of
 *  \a N products whose warranty ends at normally distributed times (\a Sred, \a SKO).
 *
 *  Between two failure times the time is interpolated by the fractional part of the
 *  count above the half. A failure at which every product has already left observation
 *  has no finite weight: it adds nothing to the corrected count, so tz50 comes only from
 *  the failures with a finite correction. */
HalfFleetTimes halfFleetTimes(std::span<const Problems> P, double N, double Sred, double SKO);

/*! \brief Checks the warranty figures a calculation is about to use (the boxes, possibly
 *  written by a warranty-times load) before anything changes: a mean and a deviation above
 *  0, a period not negative, and, when both the mean and the deviation are given, no
 *  failure of \a P (sorted by time) so far past the mean that every product has left
 *  observation, the test the loader makes with the header's figures. A figure left empty
 *  is not used by the caller and not checked. Throws UserError; numbers with \a dec. */
void checkWarrantyFigures(std::span<const Problems> P, std::optional<double> Sred,
                          std::optional<double> SKO, std::optional<double> tGar, QChar dec);

//! The log line of Hist_Made for a deviation \a sko.
QString histMadeLine(double sko, QChar dec);

}   // namespace obr
