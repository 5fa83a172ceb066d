// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Log-likelihoods of life data with right and interval censoring and counts,
 * with every constant included (sum of ln f over failures, ln R over suspensions,
 * ln[F(b) - F(a)] over intervals), and a Newton maximiser.
 */
#include "dist.h"
#include "lifedata.h"

#include <Eigen/Dense>
#include <atomic>
#include <functional>

namespace obr::life {

using Vec = Eigen::VectorXd;
using Mat = Eigen::MatrixXd;

/*! \brief The data split by kind into flat arrays (times and weights), equal rows of a kind
 * collapsed into one with their counts added, so that every pass costs one step per
 * distinct row. */
struct Prepared {
    std::vector<double> ft, fw;       //!< exact failures
    std::vector<double> st, sw;       //!< suspensions
    std::vector<double> ia, ib, iw;   //!< intervals (a may be 0)
    Tally tally;
    double firstFailure = 0;   //!< smallest exact failure time or interval end
    int zeroFailureLine = 0;   //!< line of a failure at time 0 (0 = none)
    int distinctFailureTimes = 0;
};
Prepared prepare(const LifeData &data);

//! A location-scale law of y = ln t (or t): the standard smallest-extreme-value or normal.
enum class Family { SEV, Normal };

//! Data transformed for a location-scale pass.
struct LsData {
    Family family = Family::SEV;
    std::vector<double> fy, fw, sy, sw, ya, yb, iw;
    double jacobian = 0;   //!< sum of w*y over exact failures when y = ln t (the 1/t of f)
};
/*! \brief The data on the scale y = ln(t - shift) (logTime) or y = t. Suspensions at or
 * below the shift drop out (R = 1); interval starts at or below it become -infinity.
 * Returns false when an exact failure or an interval end is at or below the shift. */
bool makeLs(const Prepared &p, Family family, bool logTime, double shift, LsData &out);

//! Log-likelihood with its gradient and Hessian in (mu, s = ln sigma).
struct LsDerivs {
    double value = 0;
    double g[2] = {0, 0};
    double h[2][2] = {{0, 0}, {0, 0}};
};
LsDerivs lsPass(const LsData &d, double mu, double s, bool derivatives = true);
//! Threads a pass of a large location-scale table may use (1 or 2; 2 by default).
void setPassThreads(int threads);

//! Log-likelihood of the three-parameter Weibull law in (mu, s, gamma), y = ln(t - gamma).
struct W3Derivs {
    double value = 0;
    double g[3] = {0, 0, 0};
    double h[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
};
W3Derivs w3Pass(const Prepared &p, double mu, double s, double gamma, bool derivatives = true);

//! Log-likelihood of the gamma law in (ln shape, ln scale) with its gradient and Hessian.
struct GammaDerivs {
    double value = 0;
    double g[2] = {0, 0};
    double h[2][2] = {{0, 0}, {0, 0}};
};
GammaDerivs gammaPass(const Prepared &p, double lnk, double lnth, bool derivatives = true);

//! Log-likelihood of the internal parameters (-infinity where impossible).
double logLikelihood(Dist dist, const Prepared &p, const std::vector<double> &theta);

/*! \brief A function to maximise: returns the value and, when asked, the gradient and
 * Hessian; -infinity marks an impossible point. */
using Objective = std::function<double(const Vec &x, Vec *g, Mat *h)>;

//! Wraps a value-only function with central-difference derivatives.
Objective numericObjective(std::function<double(const Vec &)> f, Vec steps);

struct MaxResult {
    Vec x;
    double value = 0;
    bool converged = false;
    Mat hessian;
};
/*! \brief Newton's method with a line search; points outside [lo, hi] count as impossible.
 * With cheapDerivatives (analytic objectives) a trial point is evaluated with its
 * derivatives at once, which saves a pass over the data per iteration. A set \a stop
 * flag ends the search with obr::Cancelled before each iteration. */
MaxResult maximize(const Objective &f, Vec x0, const Vec &lo, const Vec &hi, int maxIter = 300,
                   bool cheapDerivatives = false, const std::atomic<bool> *stop = nullptr);

//! Throws obr::Cancelled when the flag is set.
void checkStop(const std::atomic<bool> *stop);

}   // namespace obr::life
