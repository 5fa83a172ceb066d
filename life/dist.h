// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The life distributions and their parameters.
 *
 * Internally each distribution has a vector of unconstrained parameters:
 * Weibull (mu = ln eta, s = ln(1/beta)), exponential (mu = ln(1/lambda)),
 * lognormal and normal (mu, s = ln sigma), three-parameter Weibull (mu, s, gamma),
 * gamma (ln shape, ln scale). The Weibull family is the smallest-extreme-value law of
 * ln t with location mu and scale 1/beta, as in R's survreg.
 */
#include <QString>
#include <optional>
#include <vector>

namespace obr::life {

enum class Dist { Weibull2, Weibull3, Exponential, Lognormal, Normal, Gamma };
enum class Estimator { MLE, RRX, RRY };

inline const std::vector<Dist> &allDists()
{
    static const std::vector<Dist> d = {Dist::Weibull2,  Dist::Weibull3, Dist::Exponential,
                                        Dist::Lognormal, Dist::Normal,   Dist::Gamma};
    return d;
}

//! Key used on the command line and in JSON ("weibull2", ...).
QString distKey(Dist d);
std::optional<Dist> distFromKey(const QString &key);
//! Russian name for tables and messages.
QString distName(Dist d);
QString estimatorKey(Estimator e);
std::optional<Estimator> estimatorFromKey(const QString &key);
QString estimatorName(Estimator e);

//! Number of fitted parameters.
int paramCount(Dist d);
//! Whether the distribution lives on t > 0 (all but the normal).
bool positiveSupport(Dist d);

//! The survival function R(t) of the internal parameters theta.
double survival(Dist d, const std::vector<double> &theta, double t);
//! ln R(t), accurate where R is near 1.
double logSurvival(Dist d, const std::vector<double> &theta, double t);
//! The time by which the share p of units has failed (0 < p < 1).
double quantile(Dist d, const std::vector<double> &theta, double p);

}   // namespace obr::life
