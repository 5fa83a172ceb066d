// SPDX-License-Identifier: MIT
#include "dist.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <limits>

namespace obr::life {

QString distKey(Dist d)
{
    switch (d) {
    case Dist::Weibull2:
        return QStringLiteral("weibull2");
    case Dist::Weibull3:
        return QStringLiteral("weibull3");
    case Dist::Exponential:
        return QStringLiteral("exponential");
    case Dist::Lognormal:
        return QStringLiteral("lognormal");
    case Dist::Normal:
        return QStringLiteral("normal");
    case Dist::Gamma:
        return QStringLiteral("gamma");
    }
    return {};
}

std::optional<Dist> distFromKey(const QString &key)
{
    for (Dist d : allDists())
        if (distKey(d) == key.trimmed().toLower())
            return d;
    return std::nullopt;
}

QString distName(Dist d)
{
    switch (d) {
    case Dist::Weibull2:
        return QStringLiteral("Вейбулла (2 пар.)");
    case Dist::Weibull3:
        return QStringLiteral("Вейбулла (3 пар.)");
    case Dist::Exponential:
        return QStringLiteral("Экспоненциальное");
    case Dist::Lognormal:
        return QStringLiteral("Логнормальное");
    case Dist::Normal:
        return QStringLiteral("Нормальное");
    case Dist::Gamma:
        return QStringLiteral("Гамма");
    }
    return {};
}

QString estimatorKey(Estimator e)
{
    switch (e) {
    case Estimator::MLE:
        return QStringLiteral("mle");
    case Estimator::RRX:
        return QStringLiteral("rrx");
    case Estimator::RRY:
        return QStringLiteral("rry");
    }
    return {};
}

std::optional<Estimator> estimatorFromKey(const QString &key)
{
    for (Estimator e : {Estimator::MLE, Estimator::RRX, Estimator::RRY})
        if (estimatorKey(e) == key.trimmed().toLower())
            return e;
    return std::nullopt;
}

QString estimatorName(Estimator e)
{
    switch (e) {
    case Estimator::MLE:
        return QStringLiteral("Максимальное правдоподобие");
    case Estimator::RRX:
        return QStringLiteral("Регрессия по рангам на X");
    case Estimator::RRY:
        return QStringLiteral("Регрессия по рангам на Y");
    }
    return {};
}

int paramCount(Dist d)
{
    switch (d) {
    case Dist::Exponential:
        return 1;
    case Dist::Weibull3:
        return 3;
    default:
        return 2;
    }
}

bool positiveSupport(Dist d) { return d != Dist::Normal; }

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();

//! ln R of the standard law at z.
double stdLogSurvival(bool sev, double z)
{
    if (sev)
        return -std::exp(z);
    if (z < 0)
        return std::log1p(-0.5 * boost::math::erfc(-z / std::sqrt(2.0)));
    return std::log(0.5 * boost::math::erfc(z / std::sqrt(2.0)));
}

double stdQuantile(bool sev, double p)
{
    if (!(p > 0))
        return -kInf;
    if (!(p < 1))
        return kInf;
    if (sev)
        return std::log(-std::log1p(-p));
    return -std::sqrt(2.0) * boost::math::erfc_inv(2.0 * p);
}
}   // namespace

double logSurvival(Dist d, const std::vector<double> &th, double t)
{
    switch (d) {
    case Dist::Weibull2:
    case Dist::Lognormal:
        if (t <= 0)
            return 0;
        return stdLogSurvival(d == Dist::Weibull2, (std::log(t) - th[0]) / std::exp(th[1]));
    case Dist::Exponential:
        if (t <= 0)
            return 0;
        return -t * std::exp(-th[0]);
    case Dist::Normal:
        return stdLogSurvival(false, (t - th[0]) / std::exp(th[1]));
    case Dist::Weibull3:
        if (t <= th[2])
            return 0;
        return stdLogSurvival(true, (std::log(t - th[2]) - th[0]) / std::exp(th[1]));
    case Dist::Gamma: {
        if (t <= 0)
            return 0;
        const double k = std::exp(th[0]), x = t / std::exp(th[1]);
        try {
            const double q = boost::math::gamma_q(k, x);
            if (q > 0.5)
                return std::log1p(-boost::math::gamma_p(k, x));
            return q > 0 ? std::log(q) : -kInf;
        } catch (const std::exception &) {
            return std::numeric_limits<double>::quiet_NaN();
        }
    }
    }
    return 0;
}

double survival(Dist d, const std::vector<double> &theta, double t)
{
    return std::exp(logSurvival(d, theta, t));
}

double quantile(Dist d, const std::vector<double> &th, double p)
{
    switch (d) {
    case Dist::Weibull2:
        return std::exp(th[0] + std::exp(th[1]) * stdQuantile(true, p));
    case Dist::Lognormal:
        return std::exp(th[0] + std::exp(th[1]) * stdQuantile(false, p));
    case Dist::Exponential:
        return -std::log1p(-p) * std::exp(th[0]);
    case Dist::Normal:
        return th[0] + std::exp(th[1]) * stdQuantile(false, p);
    case Dist::Weibull3:
        return th[2] + std::exp(th[0] + std::exp(th[1]) * stdQuantile(true, p));
    case Dist::Gamma:
        try {
            return std::exp(th[1]) * boost::math::gamma_p_inv(std::exp(th[0]), p);
        } catch (const std::exception &) {
            return std::numeric_limits<double>::quiet_NaN();
        }
    }
    return 0;
}

}   // namespace obr::life
