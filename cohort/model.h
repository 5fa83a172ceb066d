// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The cohort likelihoods over the table reduced by age, written once for plain
 * numbers and for numbers with derivatives (dual.h).
 *
 * Every row shares the same law of claims by age, so the cells enter the likelihood
 * through sums by age: the claims C_a at age a, the units E_a that were observed at age
 * a, and the units whose last observed age is m (with the survivors among them under
 * first failures).
 */
#include "cohort.h"
#include "dual.h"

#include <cmath>
#include <limits>
#include <vector>

namespace obr::cohort::detail {

//! The usage law as weighted rates (one node for a fixed rate).
struct UsageNodes {
    std::vector<double> u, w;
    std::vector<double> lnU;   //!< ln u of each node
};
UsageNodes usageNodes(const Usage &usage);

//! The rate that stands for the law in single-time figures: the fixed rate or the median.
double typicalRate(const Usage &usage);

//! The table reduced by age for one cause (or all), at one data end.
struct Reduced {
    ModelKind model = ModelKind::Repeat;
    AgeConvention ages = AgeConvention::Interval;
    UsageNodes nodes;
    double hoursLimit = std::numeric_limits<double>::infinity();
    int ageLimit = std::numeric_limits<int>::max();   //!< warranty in periods (none: max)
    int dataEnd = 0;
    int maxAge = 0;              //!< the oldest observed age
    std::vector<double> C;       //!< claims by age (index a = 1 … maxAge)
    std::vector<double> E;       //!< units observed at age a
    std::vector<double> lastN;   //!< units whose last observed age is m
    std::vector<double> lastS;   //!< survivors (units without claims) among them
    double claims = 0;
    double units = 0;      //!< units of the observed rows
    double constant = 0;   //!< Σ c·ln N_r − ln c! (interval) or Σ c·ln N_r (end)
    int cells = 0;         //!< observed cells
};

/*! \brief Reduces the table (\a cause < 0: all causes) at \a dataEnd. Throws UserError for
 *  claims the model cannot hold (past the warranty limit; over the units under first
 *  failures). */
Reduced reduce(const NevadaTable &t, int cause, int dataEnd, const Settings &s);

//! The observed age of row r at the data end, cut at the warranty limit (0: none).
inline int observedAge(const NevadaTable &t, int r, int dataEnd, int ageLimit)
{
    const int a = dataEnd - t.start[size_t(r)] + 1;
    return std::max(0, std::min(a, ageLimit));
}

/*! 1 − e^−z given e = e^−z: exact for small z. Plain numbers (the forecast's draws) take
 *  the cheap difference sooner; its relative error stays below 1e-13 there. */
inline double complementOf(double z, double e) { return z > 0.01 ? 1 - e : -std::expm1(-z); }
template <int N>
Dual<N> complementOf(const Dual<N> &z, const Dual<N> &e)
{
    return z.v < 0.5 ? oneMinusExpNeg(z) : 1.0 - e;
}

/*! \brief G(a) = E_u[F(min(u·a, H))] and its complement for a = 0 … amax at
 *  (α, β) = (ln A, ln B). */
template <class T>
void cumulative(const Reduced &P, const T &alpha, const T &beta, int amax, std::vector<T> &G,
                std::vector<T> &S)
{
    G.assign(size_t(amax + 1), T(0.0));
    S.assign(size_t(amax + 1), T(1.0));
    const T B = exp(beta);
    const double lnH = std::log(P.hoursLimit);
    for (int a = 1; a <= amax; ++a) {
        T g(0.0), s(0.0);
        const double lnA = std::log(double(a));
        for (size_t k = 0; k < P.nodes.u.size(); ++k) {
            // ln t = ln u + ln a, cut at the hours limit
            const double lt = std::min(P.nodes.lnU[k] + lnA, lnH);
            const T z = exp(alpha + B * lt);
            const T e = exp(-z);
            g += P.nodes.w[k] * complementOf(z, e);
            s += P.nodes.w[k] * e;
        }
        G[size_t(a)] = g;
        S[size_t(a)] = s;
    }
}

//! The probability of a claim (first) or claims per unit (repeat, at K = 1) at age a.
template <class T>
T cellShare(const Reduced &P, const std::vector<T> &G, const std::vector<T> &S, int a)
{
    if (a > P.ageLimit)
        return T(0.0);
    // The difference of the smaller tail keeps its digits.
    return value(G[size_t(a)]) < 0.5 ? G[size_t(a)] - G[size_t(a - 1)]
                                     : S[size_t(a - 1)] - S[size_t(a)];
}

//! The density in age at exactly a periods: E_u[u·f(u·a)] where u·a is inside the hours.
template <class T>
T density(const Reduced &P, const T &alpha, const T &beta, int a)
{
    if (a > P.ageLimit)
        return T(0.0);
    const T B = exp(beta);
    T d(0.0);
    bool any = false;
    for (size_t k = 0; k < P.nodes.u.size(); ++k) {
        const double t = P.nodes.u[k] * a;
        if (!(t < P.hoursLimit))
            continue;
        const double lt = std::log(t);
        const T z = exp(alpha + B * lt);
        // ln(u·f(t)) = ln u + ln A + ln B + (B − 1)·ln t − A·t^B
        d += P.nodes.w[k] * exp(std::log(P.nodes.u[k]) + alpha + beta + (B - 1.0) * lt - z);
        any = true;
    }
    return any ? d : T(0.0);
}

/*! \brief The part of the log-likelihood without K: Σ C_a·ln(share or density) (and, under
 *  first failures, Σ survivors·ln(1 − G(m))), with the exposure Q = Σ_m lastN_m·G(m)
 *  (repeat claims: the expected claims at K = 1). False where a claim has no mass. */
template <class T>
bool kernel(const Reduced &P, const T &alpha, const T &beta, T &value_, T &Q)
{
    std::vector<T> G, S;
    cumulative(P, alpha, beta, P.maxAge, G, S);
    T sum(0.0), q(0.0);
    for (int a = 1; a <= P.maxAge; ++a) {
        const double c = P.C[size_t(a)];
        if (c > 0) {
            const T share =
                P.ages == AgeConvention::End ? density(P, alpha, beta, a) : cellShare(P, G, S, a);
            if (!(value(share) > 0) || !std::isfinite(value(share)))
                return false;
            sum += c * log(share);
        }
        if (P.model == ModelKind::Repeat) {
            if (P.lastN[size_t(a)] > 0)
                q += P.lastN[size_t(a)] * G[size_t(a)];
        } else if (P.lastS[size_t(a)] > 0) {
            if (!(value(S[size_t(a)]) > 0))
                return false;
            sum += P.lastS[size_t(a)] * log(S[size_t(a)]);
        }
    }
    value_ = sum;
    Q = q;
    return std::isfinite(value(sum));
}

//! The range of ln K, as in the failure-file fit.
constexpr double kKMin = 0.001, kKMax = 1000;
//! The ranges of ln A and ln B.
constexpr double kAlphaLo = -800, kAlphaHi = 800;
inline const double kBetaLo = std::log(0.05), kBetaHi = std::log(20.0);

/*! \brief The full log-likelihood at (α, β, k = ln K) (k ignored under first failures),
 *  every constant included. −∞ where undefined. */
template <class T>
T loglik(const Reduced &P, const T &alpha, const T &beta, const T &k)
{
    T v, Q;
    if (!kernel(P, alpha, beta, v, Q))
        return T(-std::numeric_limits<double>::infinity());
    if (P.model == ModelKind::First)
        return v + P.constant;
    return v + P.claims * k - exp(k) * Q + P.constant;
}

/*! \brief The log-likelihood with K at its best for (α, β) (repeat claims), cut to the
 *  range of K; \a kOut receives ln K and \a clamped whether the range cut it. */
template <class T>
T profileK(const Reduced &P, const T &alpha, const T &beta, double *kOut = nullptr,
           bool *clamped = nullptr)
{
    T v, Q;
    if (!kernel(P, alpha, beta, v, Q))
        return T(-std::numeric_limits<double>::infinity());
    if (P.model == ModelKind::First) {
        if (kOut)
            *kOut = 0;
        return v + P.constant;
    }
    if (!(value(Q) > 0))
        return T(-std::numeric_limits<double>::infinity());
    // K̂ = C/Q: ℓ = v + C·ln(C/Q) − C.
    const double khat = std::log(P.claims / value(Q));
    const double lo = std::log(kKMin), hi = std::log(kKMax);
    if (khat < lo || khat > hi) {
        const double k = khat < lo ? lo : hi;
        if (kOut)
            *kOut = k;
        if (clamped)
            *clamped = true;
        return v + P.claims * k - std::exp(k) * Q + P.constant;
    }
    if (kOut)
        *kOut = khat;
    if (clamped)
        *clamped = false;
    return v - P.claims * log(Q) + (P.claims * std::log(P.claims) - P.claims) + P.constant;
}

}   // namespace obr::cohort::detail
