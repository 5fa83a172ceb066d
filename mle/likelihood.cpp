// SPDX-License-Identifier: MIT
#include "likelihood.h"

#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/erf.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::mle::detail {

namespace {

constexpr double kInvSqrt2Pi = 0.39894228040143267794;
constexpr double kSqrt2 = 1.41421356237309504880;
//! Half-width of the normal law's integration range, in deviations.
constexpr double kSpan = 12;

constexpr int NC = 15;
using Comp = std::array<double, NC>;

/*! Components of the integrand of I: F and its derivatives in ln A, ln B, then (with
 *  the warranty derivatives) the derivatives of the normal density in Sred and ln SKO. */
enum C { cI, cA, cB, cAA, cAB, cBB, cM, cS, cMM, cMS, cSS, cAM, cAS, cBM, cBS };

//! F(w) and its derivatives in (ln A, ln B), written through exponents so that a huge
//! A·w^B gives 0 instead of inf·0.
struct FDerivs {
    double F = 0, Fa = 0, Fb = 0, Faa = 0, Fab = 0, Fbb = 0;
};

FDerivs fderivs(double a, double B, double w)
{
    FDerivs d;
    if (!(w > 0))
        return d;
    const double lw = std::log(w);
    const double lnu = a + B * lw;
    const double u = std::exp(lnu);
    d.F = -std::expm1(-u);
    const double eu = std::exp(lnu - u);        // e^-u·u
    const double eu2 = std::exp(2 * lnu - u);   // e^-u·u²
    const double BL = B * lw;
    d.Fa = eu;
    d.Fb = eu * BL;
    d.Faa = eu - eu2;
    d.Fab = eu * BL - eu2 * BL;
    d.Fbb = eu * BL * (BL + 1) - eu2 * BL * BL;
    return d;
}

struct NormalIntegrand {
    double a, B, mu, sigma;
    int nc;
    void operator()(double w, Comp &out) const
    {
        const FDerivs d = fderivs(a, B, w);
        const double z = (w - mu) / sigma;
        const double phi = kInvSqrt2Pi / sigma * std::exp(-0.5 * z * z);
        out[cI] = d.F * phi;
        out[cA] = d.Fa * phi;
        out[cB] = d.Fb * phi;
        out[cAA] = d.Faa * phi;
        out[cAB] = d.Fab * phi;
        out[cBB] = d.Fbb * phi;
        if (nc > 6) {
            const double z2 = z * z;
            const double dm = z / sigma, ds = z2 - 1;
            out[cM] = d.F * phi * dm;
            out[cS] = d.F * phi * ds;
            out[cMM] = d.F * phi * (z2 - 1) / (sigma * sigma);
            out[cMS] = d.F * phi * z * (z2 - 3) / sigma;
            out[cSS] = d.F * phi * (z2 * z2 - 4 * z2 + 1);
            out[cAM] = d.Fa * phi * dm;
            out[cAS] = d.Fa * phi * ds;
            out[cBM] = d.Fb * phi * dm;
            out[cBS] = d.Fb * phi * ds;
        }
    }
};

struct Panel {
    double lo, hi;
    Comp K, err;
};

//! One 15-point Kronrod / 7-point Gauss pair on [lo, hi] (nodes and weights from Boost).
template <class Fn>
Panel gaussKronrod(const Fn &f, double lo, double hi, int nc)
{
    using boost::math::quadrature::gauss;
    using boost::math::quadrature::gauss_kronrod;
    const auto &x = gauss_kronrod<double, 15>::abscissa();
    const auto &wk = gauss_kronrod<double, 15>::weights();
    const auto &wg = gauss<double, 7>::weights();
    const double c = 0.5 * (lo + hi), h = 0.5 * (hi - lo);
    Comp v{}, v2{}, K{}, G{};
    f(c, v);
    for (int j = 0; j < nc; ++j) {
        K[size_t(j)] = v[size_t(j)] * wk[0];
        G[size_t(j)] = v[size_t(j)] * wg[0];
    }
    for (size_t i = 1; i < x.size(); ++i) {
        f(c - h * x[i], v);
        f(c + h * x[i], v2);
        for (int j = 0; j < nc; ++j) {
            const double s = v[size_t(j)] + v2[size_t(j)];
            K[size_t(j)] += s * wk[i];
            if (i % 2 == 0)
                G[size_t(j)] += s * wg[i / 2];
        }
    }
    Panel p{lo, hi, {}, {}};
    for (int j = 0; j < nc; ++j) {
        p.K[size_t(j)] = K[size_t(j)] * h;
        p.err[size_t(j)] = std::fabs((K[size_t(j)] - G[size_t(j)]) * h);
    }
    return p;
}

/*! Globally adaptive Gauss–Kronrod over a vector integrand: the panel with the largest
 *  error (relative to each component's own tolerance) is halved until every component's
 *  summed error estimate is within tolerance. The first component (I itself) gets the
 *  tight tolerance; the Kronrod estimate is far more accurate than its |K − G| bound. */
template <class Fn>
Comp adaptive(const Fn &f, double lo, double hi, int nc, int panels)
{
    std::vector<Panel> ps;
    ps.reserve(256);
    const double step = (hi - lo) / panels;
    for (int i = 0; i < panels; ++i)
        ps.push_back(
            gaussKronrod(f, lo + i * step, i + 1 == panels ? hi : lo + (i + 1) * step, nc));
    for (int round = 0; round < 400; ++round) {
        Comp total{}, abs{}, err{};
        for (const Panel &p : ps)
            for (int j = 0; j < nc; ++j) {
                total[size_t(j)] += p.K[size_t(j)];
                abs[size_t(j)] += std::fabs(p.K[size_t(j)]);
                err[size_t(j)] += p.err[size_t(j)];
            }
        Comp tol{};
        bool done = true;
        for (int j = 0; j < nc; ++j) {
            tol[size_t(j)] = (j == 0 ? 1e-14 : 1e-11) * std::max(abs[size_t(j)], 1e-300);
            if (err[size_t(j)] > tol[size_t(j)])
                done = false;
        }
        if (done || ps.size() >= 2000)
            return total;
        size_t worst = 0;
        double worstRatio = -1;
        for (size_t i = 0; i < ps.size(); ++i) {
            double r = 0;
            for (int j = 0; j < nc; ++j)
                r = std::max(r, ps[i].err[size_t(j)] / tol[size_t(j)]);
            if (r > worstRatio) {
                worstRatio = r;
                worst = i;
            }
        }
        const Panel p = ps[worst];
        const double mid = 0.5 * (p.lo + p.hi);
        if (!(mid > p.lo && mid < p.hi))
            return total;   // the panel cannot be halved any further
        ps[worst] = gaussKronrod(f, p.lo, mid, nc);
        ps.push_back(gaussKronrod(f, mid, p.hi, nc));
    }
    Comp total{};
    for (const Panel &p : ps)
        for (int j = 0; j < nc; ++j)
            total[size_t(j)] += p.K[size_t(j)];
    return total;
}

void fillStuff(IStuff &s, const Comp &c, bool wd)
{
    s.I = c[cI];
    s.g[PA] = c[cA];
    s.g[PB] = c[cB];
    s.H(PA, PA) = c[cAA];
    s.H(PA, PB) = s.H(PB, PA) = c[cAB];
    s.H(PB, PB) = c[cBB];
    if (wd) {
        s.g[PMu] = c[cM];
        s.g[PS] = c[cS];
        s.H(PMu, PMu) = c[cMM];
        s.H(PMu, PS) = s.H(PS, PMu) = c[cMS];
        s.H(PS, PS) = c[cSS];
        s.H(PA, PMu) = s.H(PMu, PA) = c[cAM];
        s.H(PA, PS) = s.H(PS, PA) = c[cAS];
        s.H(PB, PMu) = s.H(PMu, PB) = c[cBM];
        s.H(PB, PS) = s.H(PS, PB) = c[cBS];
    }
}

}   // namespace

double Law::survival(double t) const
{
    // Share of end times strictly greater than t.
    const auto it = std::upper_bound(w.begin(), w.end(), t);
    const double above = it == w.end() ? 0.0 : wAbove[size_t(it - w.begin())];
    return wTotal > 0 ? above / wTotal : 0;
}

Law Law::fromTimes(const std::vector<double> &times)
{
    Law l;
    l.empirical = true;
    std::vector<double> v;
    for (double t : times)
        if (t > 0)
            v.push_back(t);
    std::sort(v.begin(), v.end());
    for (double t : v) {
        if (!l.w.empty() && l.w.back() == t) {
            l.wCount.back() += 1;
        } else {
            l.w.push_back(t);
            l.wCount.push_back(1);
        }
    }
    l.wTotal = double(times.size());
    l.wAbove.assign(l.w.size(), 0.0);
    double acc = 0;
    for (size_t i = l.w.size(); i-- > 0;) {
        acc += l.wCount[i];
        l.wAbove[i] = acc;
    }
    return l;
}

void normalLogSurvival(double z, double &lnQ, double &h)
{
    const double Q = 0.5 * boost::math::erfc(z / kSqrt2);
    lnQ = std::log(Q);
    const double phi = kInvSqrt2Pi * std::exp(-0.5 * z * z);
    h = Q > 0 ? phi / Q : std::numeric_limits<double>::infinity();
}

IStuff integralI(double a, double b, const Law &law, bool warrantyDerivs)
{
    IStuff s;
    const double B = std::exp(b);
    if (law.empirical) {
        Comp c{};
        for (size_t i = 0; i < law.w.size(); ++i) {
            const FDerivs d = fderivs(a, B, law.w[i]);
            const double wt = law.wCount[i] / law.wTotal;
            c[cI] += d.F * wt;
            c[cA] += d.Fa * wt;
            c[cB] += d.Fb * wt;
            c[cAA] += d.Faa * wt;
            c[cAB] += d.Fab * wt;
            c[cBB] += d.Fbb * wt;
        }
        fillStuff(s, c, false);
        return s;
    }
    const double lo = std::max(0.0, law.mu - kSpan * law.sigma);
    const double hi = law.mu + kSpan * law.sigma;
    if (!(hi > lo))
        return s;
    const int nc = warrantyDerivs ? NC : 6;
    const NormalIntegrand f{a, B, law.mu, law.sigma, nc};
    const Comp c = adaptive(f, lo, hi, nc, 8);
    fillStuff(s, c, warrantyDerivs);
    return s;
}

double integralJ(double A, double B, const Law &law, double tau)
{
    const double a = std::log(A);
    if (law.empirical) {
        double J = 0;
        for (size_t i = 0; i < law.w.size(); ++i)
            J += fderivs(a, B, std::min(law.w[i], tau)).F * law.wCount[i];
        return J / law.wTotal;
    }
    const double lo = std::max(0.0, law.mu - kSpan * law.sigma);
    const double hi = std::min(tau, law.mu + kSpan * law.sigma);
    double J = 0;
    if (hi > lo) {
        const NormalIntegrand f{a, B, law.mu, law.sigma, 1};
        J = adaptive(f, lo, hi, 1, 8)[0];
    }
    // The products still under warranty at τ contribute F(τ).
    const double Q = 0.5 * boost::math::erfc((tau - law.mu) / (law.sigma * kSqrt2));
    return J + fderivs(a, B, tau).F * Q;
}

// ---------------------------------------------------------------------------------------

Likelihood::Likelihood(Data data, Law law, double Nprived, bool fitMu, bool fitSigma)
    : m_data(std::move(data)), m_law(std::move(law)), m_N(Nprived), m_fitMu(fitMu),
      m_fitSigma(fitSigma)
{
    if (!warrantyFitted()) {
        for (size_t j = 0; j < m_data.t.size(); ++j) {
            double lnS;
            if (m_law.empirical) {
                lnS = std::log(m_law.survival(m_data.t[j]));
            } else {
                double h;
                normalLogSurvival((m_data.t[j] - m_law.mu) / m_law.sigma, lnS, h);
            }
            m_fixedLnS += m_data.c[j] * lnS;
        }
    }
}

Law Likelihood::lawAt(const Vec &x) const
{
    Law l = m_law;
    if (m_fitMu)
        l.mu = x[PMu];
    if (m_fitSigma)
        l.sigma = std::exp(x[PS]);
    return l;
}

const IStuff &Likelihood::istuff(const Vec &x)
{
    const std::array<double, 4> key{x[PA], x[PB], m_fitMu ? x[PMu] : 0.0, m_fitSigma ? x[PS] : 0.0};
    if (m_cacheValid && key == m_cacheKey)
        return m_cache;
    const Law l = lawAt(x);
    m_cache = integralI(x[PA], x[PB], l, warrantyFitted());
    if (!m_fitMu) {
        m_cache.g[PMu] = 0;
        m_cache.H.row(PMu).setZero();
        m_cache.H.col(PMu).setZero();
    }
    if (!m_fitSigma) {
        m_cache.g[PS] = 0;
        m_cache.H.row(PS).setZero();
        m_cache.H.col(PS).setZero();
    }
    m_cacheKey = key;
    m_cacheValid = true;
    return m_cache;
}

Eval Likelihood::eval(const Vec &x)
{
    Eval e;
    const double a = x[PA], b = x[PB], k = x[PK];
    const double A = std::exp(a), B = std::exp(b), K = std::exp(k);
    const Data &d = m_data;
    const double n = d.n;

    double S0 = 0, S1 = 0, S2 = 0;
    for (size_t j = 0; j < d.t.size(); ++j) {
        const double L = d.lnt[j];
        const double tb = d.c[j] * std::exp(B * L);
        S0 += tb;
        S1 += tb * L;
        S2 += tb * L * L;
    }
    double lnS = m_fixedLnS;
    double Dm = 0, Ds = 0, Dmm = 0, Dms = 0, Dss = 0;
    if (warrantyFitted()) {
        const Law l = lawAt(x);
        lnS = 0;
        for (size_t j = 0; j < d.t.size(); ++j) {
            const double z = (d.t[j] - l.mu) / l.sigma;
            double lq, h;
            normalLogSurvival(z, lq, h);
            const double c = d.c[j];
            lnS += c * lq;
            const double hp = h * (h - z);
            Dm += c * h / l.sigma;
            Ds += c * h * z;
            Dmm -= c * hp / (l.sigma * l.sigma);
            Dms -= c * (hp * z + h) / l.sigma;
            Dss -= c * z * (hp * z + h);
        }
    }
    const IStuff &is = istuff(x);
    const double NK = m_N * K;
    e.l = n * std::log(m_N) + n * k + n * (a + b) + (B - 1) * d.sumLnT - A * S0 + lnS - NK * is.I;

    Vec &g = e.g;
    Mat &H = e.H;
    g[PA] = n - A * S0;
    g[PB] = n + B * d.sumLnT - A * B * S1;
    g[PK] = n;
    H(PA, PA) = -A * S0;
    H(PA, PB) = H(PB, PA) = -A * B * S1;
    H(PB, PB) = B * d.sumLnT - A * (B * S1 + B * B * S2);
    if (m_fitMu) {
        g[PMu] = Dm;
        H(PMu, PMu) = Dmm;
    }
    if (m_fitSigma) {
        g[PS] = Ds;
        H(PS, PS) = Dss;
    }
    if (m_fitMu && m_fitSigma)
        H(PMu, PS) = H(PS, PMu) = Dms;
    // The expected-count term −N'·K·I: K enters as e^k.
    Vec gI = is.g;
    gI[PK] = is.I;
    Mat HI = is.H;
    for (int i = 0; i < NP; ++i) {
        HI(i, PK) = HI(PK, i) = is.g[i];
    }
    HI(PK, PK) = is.I;
    g -= NK * gI;
    H -= NK * HI;
    e.ok = std::isfinite(e.l) && g.allFinite() && H.allFinite();
    return e;
}

}   // namespace obr::mle::detail
