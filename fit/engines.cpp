// SPDX-License-Identifier: MIT
#include "engines.h"
#include "genetic_parallel.h"
#include "pearson_term.h"
#include "stats/stat2018.h"

#include <cmath>
#include <limits>

namespace obr::detail {

namespace {

constexpr double kU = std::numeric_limits<double>::epsilon() / 2;   // unit roundoff

//! pw[i] = t[i]^B at every interval end (both engines keep the powers of the set shape).
void fillPowers(const std::vector<double> &t, double B, std::vector<double> &pw)
{
    for (size_t i = 0; i < pw.size(); ++i)
        pw[i] = std::pow(t[i], B);
}

//! P[i]: the Weibull share of interval i at coefficient A, from the powers of its two ends.
void fillShares(double A, const std::vector<double> &pw, std::vector<double> &P)
{
    double wprev = weibFromPow(A, pw[0]);
    for (size_t i = 0; i < P.size(); ++i) {
        const double w = weibFromPow(A, pw[i + 1]);
        P[i] = weibDiff(w, wprev);
        wprev = w;
    }
}

template <Criterion C>
inline double pearsonSum(size_t m, double c, const double *P, const double *Gc, const double *O,
                         double kol, double *Eout, double &Etot)
{
    double E = 0, S = 0;
    for (size_t i = 0; i < m; ++i) {
        const double Ei = c * P[i] * Gc[i];
        Eout[i] = Ei;
        E += Ei;
        S += pearsonTerm(C, O[i], Ei, P[i]);
    }
    Etot = E;
    return pearsonTotal(S, kol, E);
}

} // namespace

// ---------------------------------------------------------------------------------------
// Pearson

PearsonEngine::PearsonEngine(const State &s, Criterion c) : m_crit(c)
{
    m_m = s.Hist_Arr.size();
    m_t.resize(m_m + 1);
    m_t[0] = 0;
    for (size_t i = 0; i < m_m; ++i)
        m_t[i + 1] = s.Hist_Arr[i].time;
    m_mid.resize(m_m);
    m_O.resize(m_m);
    for (size_t i = 0; i < m_m; ++i) {
        m_mid[i] = (m_t[i] + m_t[i + 1]) / 2;
        m_O[i] = s.Hist_Arr[i].Sum;
    }
    m_izd = s.Izd_Prived;
    m_kol = s.Kol_izw;
    m_pw.resize(m_m + 1);
    m_P.resize(m_m);
    m_Gc.resize(m_m);
    m_sP.resize(m_m);
    m_sGc.resize(m_m);
    m_sE.resize(m_m);
}

void PearsonEngine::setPoint(double A, double B, double K, double Mu, double Sig)
{
    m_A = A;
    m_B = B;
    m_K = K;
    m_Mu = Mu;
    m_Sig = Sig;
    refreshPow();
    refreshP();
    refreshG();
}

void PearsonEngine::refreshPow() { fillPowers(m_t, m_B, m_pw); }

void PearsonEngine::refreshP() { fillShares(m_A, m_pw, m_P); }

void PearsonEngine::refreshG()
{
    for (size_t i = 0; i < m_m; ++i)
        m_Gc[i] = 1 - CDF_Gauss(m_Mu, m_Sig, m_mid[i]);
}

double PearsonEngine::sum(double c, const double *P, const double *Gc)
{
    m_lastP = P;
    m_lastGc = Gc;
    m_lastC = c;
    const double *O = m_O.data();
    double *E = m_sE.data();
    double f;
    switch (m_crit) {
    case Criterion::Standard:
        f = pearsonSum<Criterion::Standard>(m_m, c, P, Gc, O, m_kol, E, m_lastE);
        break;
    case Criterion::Spec1:
        f = pearsonSum<Criterion::Spec1>(m_m, c, P, Gc, O, m_kol, E, m_lastE);
        break;
    default:
        f = pearsonSum<Criterion::Spec2>(m_m, c, P, Gc, O, m_kol, E, m_lastE);
        break;
    }
    m_lastF = f;
    return f;
}

double PearsonEngine::eval(double x)
{
    ++m_evals;
    double *sP = m_sP.data();
    switch (m_moving) {
    case PB: {
        double wprev = weibFromPow(m_A, std::pow(m_t[0], x));
        for (size_t i = 0; i < m_m; ++i) {
            const double w = weibFromPow(m_A, std::pow(m_t[i + 1], x));
            sP[i] = weibDiff(w, wprev);
            wprev = w;
        }
        return sum(m_izd * m_K, sP, m_Gc.data());
    }
    case PA: {
        double wprev = weibFromPow(x, m_pw[0]);
        for (size_t i = 0; i < m_m; ++i) {
            const double w = weibFromPow(x, m_pw[i + 1]);
            sP[i] = weibDiff(w, wprev);
            wprev = w;
        }
        return sum(m_izd * m_K, sP, m_Gc.data());
    }
    case PK:
        return sum(m_izd * x, m_P.data(), m_Gc.data());
    case PMu:
    case PSig: {
        const double mu = m_moving == PMu ? x : m_Mu;
        const double sig = m_moving == PSig ? x : m_Sig;
        double *g = m_sGc.data();
        for (size_t i = 0; i < m_m; ++i)
            g[i] = 1 - CDF_Gauss(mu, sig, m_mid[i]);
        return sum(m_izd * m_K, m_P.data(), g);
    }
    }
    return 0;
}

void PearsonEngine::commit(double x)
{
    switch (m_moving) {
    case PB:
        m_B = x;
        refreshPow();
        refreshP();
        break;
    case PA:
        m_A = x;
        refreshP();
        break;
    case PK:
        m_K = x;
        break;
    case PMu:
        m_Mu = x;
        refreshG();
        break;
    case PSig:
        m_Sig = x;
        refreshG();
        break;
    }
}

bool PearsonEngine::flat() const
{
    if (m_moving == PB) {
        for (size_t i = 1; i <= m_m; ++i)
            if (!(m_t[i] == 0 || m_t[i] == 1))
                return false;
        return true;
    }
    if (m_moving == PK) {
        // E_i = (c * P_i) * Gc_i is 0 for every c when Gc_i is 0 and c * P_i stays finite.
        for (size_t i = 0; i < m_m; ++i)
            if (!(m_Gc[i] == 0 && m_P[i] <= 1))
                return false;
        return m_m > 0;
    }
    return false;
}

double PearsonEngine::noise() const
{
    // First-order bound of the rounding error: each Weibull value carries a few units of
    // roundoff, the interval probabilities their absolute errors, and every product and
    // sum its own; the bound is generous on purpose.
    // Only the parts computed anew at every position count: errors of the cached parts
    // are the same at neighbouring positions and only shift the smooth trend.
    const double c = std::fabs(m_lastC);
    const bool newP = m_moving == PA || m_moving == PB;
    const bool newG = m_moving == PMu || m_moving == PSig;
    double dSum = 0, tSum = 0, dESum = 0;
    for (size_t i = 0; i < m_m; ++i) {
        const double Ei = m_sE[i], P = m_lastP[i], Gc = std::fabs(m_lastGc[i]), O = m_O[i];
        const double dP = newP ? 8 * kU + kU * P : 0;
        const double dE = c * (Gc * dP + (newG ? P * 4 * kU : 0)) + 4 * kU * std::fabs(Ei);
        const double r = O - Ei;
        double t, dt;
        switch (m_crit) {
        case Criterion::Standard: {
            const double q = r / Ei;
            t = q * q;
            dt = 2 * std::fabs(q) * (O / (Ei * Ei)) * dE + 4 * kU * t;
            break;
        }
        case Criterion::Spec1:
            t = r * r;
            dt = 2 * std::fabs(r) * dE + 3 * kU * t;
            break;
        default:
            t = r * P * r * P;
            dt = 2 * std::fabs(r) * P * P * dE + 2 * r * r * P * dP + 4 * kU * t;
            break;
        }
        dSum += dt;
        tSum += t;
        dESum += dE + double(m_m) * kU * std::fabs(Ei);
    }
    const double d = m_kol - m_lastE;
    return dSum + 2 * std::fabs(d) * dESum + double(m_m + 3) * kU * (tSum + d * d) +
           kU * std::fabs(m_lastF);
}

// ---------------------------------------------------------------------------------------
// Smirnov

SmirnovEngine::SmirnovEngine(const State &s, const std::vector<double> &weights,
                             GenParallel *pool)
    : m_pool(pool)
{
    m_n = s.MasProbl.size();
    m_t.resize(m_n + 1);
    m_dup.assign(m_n + 1, 0);
    m_t[0] = 0;
    for (size_t i = 0; i < m_n; ++i) {
        m_t[i + 1] = s.MasProbl[i].time;
        m_dup[i + 1] = m_t[i + 1] == m_t[i];
    }
    m_wc.resize(m_n);
    for (size_t i = 0; i < m_n; ++i)
        m_wc[i] = 1 - weights[i];
    m_izd = s.Izd_Prived;
    m_kol = s.Kol_izw;
    m_pw.resize(m_n + 1);
    m_P.resize(m_n);
    m_sP.resize(m_n);
    m_sE.resize(m_n);
}

void SmirnovEngine::setPoint(double A, double B, double K)
{
    m_A = A;
    m_B = B;
    m_K = K;
    refreshPow();
    refreshP();
}

void SmirnovEngine::refreshPow() { fillPowers(m_t, m_B, m_pw); }

void SmirnovEngine::refreshP() { fillShares(m_A, m_pw, m_P); }

double SmirnovEngine::sum(double c, const double *P)
{
    m_lastP = P;
    m_lastC = c;
    double E = 0, S = 0;
    const double *wc = m_wc.data();
    double *Es = m_sE.data();
    for (size_t i = 0; i < m_n; ++i) {
        E = E + c * P[i] * wc[i];
        Es[i] = E;
        const double d = double(i + 1) - E;
        S = S + d * d;
    }
    m_lastS = S;
    m_lastF = std::sqrt(S) / m_kol;
    return m_lastF;
}

void SmirnovEngine::terms(size_t b, size_t e, double A, double B, bool newPowers,
                          double *P) const
{
    // The Weibull value at the start of the part is computed afresh: an equal time
    // before it would have given the same value, so each part is what the whole
    // sequential pass gives there.
    double wprev = weibFromPow(A, newPowers ? std::pow(m_t[b], B) : m_pw[b]);
    for (size_t i = b; i < e; ++i) {
        // Equal times give equal Weibull values: the power is not taken again.
        const double w = m_dup[i + 1] ? wprev
                                      : weibFromPow(A, newPowers ? std::pow(m_t[i + 1], B)
                                                                 : m_pw[i + 1]);
        P[i] = weibDiff(w, wprev);
        wprev = w;
    }
}

double SmirnovEngine::eval(double x)
{
    ++m_evals;
    double *sP = m_sP.data();
    if (m_moving == PK)
        return sum(m_izd * x, m_P.data());
    const double A = m_moving == PA ? x : m_A;
    const double B = m_moving == PB ? x : m_B;
    const bool newPowers = m_moving == PB;
    // Below a few thousand failures the threads cost more than they save.
    constexpr size_t kParallelFrom = 2048;
    if (m_pool && m_pool->threads() > 1 && m_n >= kParallelFrom)
        m_pool->run(m_n, [&](size_t b, size_t e) { terms(b, e, A, B, newPowers, sP); });
    else
        terms(0, m_n, A, B, newPowers, sP);
    return sum(m_izd * m_K, sP);
}

void SmirnovEngine::commit(double x)
{
    switch (m_moving) {
    case PA:
        m_A = x;
        refreshP();
        break;
    case PB:
        m_B = x;
        refreshPow();
        refreshP();
        break;
    case PK:
        m_K = x;
        break;
    }
}

double SmirnovEngine::noise() const
{
    // The Weibull errors telescope along the cumulative sum (the weights are monotone),
    // so they add at most a few units of roundoff times c; the running sum adds its own.
    // Errors of the cached Weibull values (walks along K_powtor) are the same at
    // neighbouring positions and only shift the smooth trend.
    const double c = std::fabs(m_lastC);
    const double w = m_moving == PK ? 0 : 1;
    double acc = 0, dS = 0;
    for (size_t i = 0; i < m_n; ++i) {
        const double E = std::fabs(m_sE[i]);
        acc += kU * E;
        const double dE = w * c * (10 * kU + kU * m_lastP[i]) + acc + 4 * kU * E;
        dS += 2 * std::fabs(double(i + 1) - m_sE[i]) * dE;
    }
    dS += double(m_n + 2) * kU * m_lastS;
    const double rs = std::sqrt(m_lastS);
    const double df = rs > 0 ? dS / (2 * rs) / m_kol : std::sqrt(dS) / m_kol;
    return df + 3 * kU * m_lastF;
}

} // namespace obr::detail
