// SPDX-License-Identifier: MIT
#include "likelihood.h"

#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/special_functions/erf.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

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
Comp adaptive(const Fn &f, double lo, double hi, int nc, int panels, std::vector<double> cuts = {})
{
    std::vector<Panel> ps;
    ps.reserve(256);
    const double step = (hi - lo) / panels;
    for (int i = 0; i <= panels; ++i)
        cuts.push_back(i == panels ? hi : lo + i * step);
    std::sort(cuts.begin(), cuts.end());
    double prev = lo;
    for (double c : cuts) {
        if (!(c > prev) || c > hi)
            continue;
        ps.push_back(gaussKronrod(f, prev, c, nc));
        prev = c;
    }
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

//! Width of a panel of the fixed rule, in deviations, and the levels of its grading at 0 h.
constexpr double kPanel = 0.5;
constexpr int kGrades = 50;
/*! The fixed rule is used where F changes on a scale (in deviations of the law) of at least
 *  this much wherever it changes at all; a steeper F is left to the adaptive rule. */
constexpr double kSmoothScale = 0.6;

//! The F derivatives at a node from its ln w: one exp and one expm1.
inline void nodeDerivs(double a, double B, double lw, FDerivs &d)
{
    const double lnu = a + B * lw;
    if (lnu > 700) {   // F = 1 to the last bit, its derivatives underflow
        d = FDerivs{1, 0, 0, 0, 0, 0};
        return;
    }
    const double u = std::exp(lnu);
    // F and e^-u each from the form that keeps its digits.
    double e;
    if (u < 0.5) {
        const double em = std::expm1(-u);
        d.F = -em;
        e = 1 + em;
    } else {
        e = std::exp(-u);
        d.F = 1 - e;
    }
    const double eu = u * e, eu2 = u * eu;   // e^-u·u, e^-u·u²
    const double BL = B * lw;
    d.Fa = eu;
    d.Fb = eu * BL;
    d.Faa = eu - eu2;
    d.Fab = (eu - eu2) * BL;
    d.Fbb = eu * BL * (BL + 1) - eu2 * BL * BL;
}

/*! True when F = 1 − exp(−A·w^B) changes slowly enough over the law's range for the fixed
 *  rule: where 1e-3 < A·w^B < 60 (outside it F is a power of w or 1 to rounding), the
 *  scale w/(B·SKO) of its change must be at least kSmoothScale deviations. */
bool smoothOverLaw(double a, double B, const NormalNodes &nd)
{
    if (nd.w.empty())
        return true;
    const double lwLo = nd.lw.front(), lwHi = nd.lw.back();
    // ln w where A·w^B = 1e-3 and 60.
    const double l1 = (std::log(1e-3) - a) / B, l2 = (std::log(60.0) - a) / B;
    if (l2 < lwLo || l1 > lwHi)
        return true;
    const double wMin = std::exp(std::max(l1, lwLo));
    return wMin / (B * nd.sigma) >= kSmoothScale;
}

Comp fixedRule(double a, double B, const NormalNodes &nd, int nc)
{
    Comp c{};
    FDerivs d;
    const size_t m = nd.w.size();
    if (nc <= 6) {
        for (size_t i = 0; i < m; ++i) {
            nodeDerivs(a, B, nd.lw[i], d);
            const double wt = nd.wt[i];
            c[cI] += d.F * wt;
            c[cA] += d.Fa * wt;
            c[cB] += d.Fb * wt;
            c[cAA] += d.Faa * wt;
            c[cAB] += d.Fab * wt;
            c[cBB] += d.Fbb * wt;
        }
        return c;
    }
    const double sg = nd.sigma;
    for (size_t i = 0; i < m; ++i) {
        nodeDerivs(a, B, nd.lw[i], d);
        const double wt = nd.wt[i], z = nd.z[i], z2 = z * z;
        const double dm = z / sg, ds = z2 - 1;
        const double Fw = d.F * wt, Faw = d.Fa * wt, Fbw = d.Fb * wt;
        c[cI] += Fw;
        c[cA] += Faw;
        c[cB] += Fbw;
        c[cAA] += d.Faa * wt;
        c[cAB] += d.Fab * wt;
        c[cBB] += d.Fbb * wt;
        c[cM] += Fw * dm;
        c[cS] += Fw * ds;
        c[cMM] += Fw * (z2 - 1) / (sg * sg);
        c[cMS] += Fw * z * (z2 - 3) / sg;
        c[cSS] += Fw * (z2 * z2 - 4 * z2 + 1);
        c[cAM] += Faw * dm;
        c[cAS] += Faw * ds;
        c[cBM] += Fbw * dm;
        c[cBS] += Fbw * ds;
    }
    return c;
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
    for (double t : l.w)
        l.lw.push_back(std::log(t));
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

NormalNodes NormalNodes::build(double mu, double sigma)
{
    using boost::math::quadrature::gauss;
    NormalNodes nd;
    nd.mu = mu;
    nd.sigma = sigma;
    if (!(sigma > 0) || !std::isfinite(mu) || !std::isfinite(sigma))
        return nd;
    const double zLo = std::max(-kSpan, -mu / sigma), zHi = kSpan;
    if (!(zHi > zLo))
        return nd;
    const auto &x = gauss<double, 10>::abscissa();
    const auto &wg = gauss<double, 10>::weights();
    auto panel = [&](double lo, double hi) {
        const double c = 0.5 * (lo + hi), h = 0.5 * (hi - lo);
        for (size_t i = 0; i < x.size(); ++i)
            for (double sgn : {-1.0, 1.0}) {
                const double z = c + sgn * h * x[i];
                const double w = mu + sigma * z;
                if (!(w > 0))
                    continue;
                nd.z.push_back(z);
                nd.w.push_back(w);
                nd.wt.push_back(wg[i] * h * kInvSqrt2Pi * std::exp(-0.5 * z * z));
            }
    };
    double start = zLo;
    if (zLo > -kSpan) {
        // The law reaches 0 h: panels halving towards it, where w^B has its singularity.
        const double g = std::min(kPanel, zHi - zLo);
        for (int k = kGrades; k-- > 0;)
            panel(zLo + g * std::ldexp(1.0, -(k + 1)), zLo + g * std::ldexp(1.0, -k));
        start = zLo + g;
    }
    const int n = int(std::ceil((zHi - start) / kPanel - 1e-9));
    for (int i = 0; i < n; ++i)
        panel(start + (zHi - start) * i / n,
              i + 1 == n ? zHi : start + (zHi - start) * (i + 1) / n);
    // Nodes in increasing w (the panels are; the pairs within one are not).
    std::vector<size_t> order(nd.w.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t i, size_t j) { return nd.w[i] < nd.w[j]; });
    NormalNodes s;
    s.mu = mu;
    s.sigma = sigma;
    for (size_t i : order) {
        s.w.push_back(nd.w[i]);
        s.lw.push_back(std::log(nd.w[i]));
        s.z.push_back(nd.z[i]);
        s.wt.push_back(nd.wt[i]);
    }
    return s;
}

IStuff integralI(double a, double b, const Law &law, bool warrantyDerivs, const NormalNodes *nodes)
{
    IStuff s;
    const double B = std::exp(b);
    if (law.empirical) {
        Comp c{};
        FDerivs d;
        for (size_t i = 0; i < law.w.size(); ++i) {
            nodeDerivs(a, B, law.lw[i], d);
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
    NormalNodes own;
    if (!nodes || nodes->mu != law.mu || nodes->sigma != law.sigma) {
        own = NormalNodes::build(law.mu, law.sigma);
        nodes = &own;
    }
    Comp c;
    if (smoothOverLaw(a, B, *nodes)) {
        c = fixedRule(a, B, *nodes, nc);
    } else {
        // The first panels are cut where A·w^B passes its decades (where F and its
        // derivatives change) and, when the law reaches 0 h, halve towards it.
        std::vector<double> cuts;
        for (int k = -12; k <= 9; ++k) {
            const double w = std::exp((k * std::log(10.0) / 3 - a) / B);
            if (w > lo && w < hi)
                cuts.push_back(w);
        }
        if (lo == 0)
            for (int k = 1; k <= kGrades; ++k)
                cuts.push_back(std::min(kPanel * law.sigma, hi) * std::ldexp(1.0, -k));
        const NormalIntegrand f{a, B, law.mu, law.sigma, nc};
        c = adaptive(f, lo, hi, nc, 8, std::move(cuts));
    }
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
        auto lnS = [&](double t) {
            if (m_law.empirical)
                return std::log(m_law.survival(t));
            double v, h;
            normalLogSurvival((t - m_law.mu) / m_law.sigma, v, h);
            return v;
        };
        for (size_t j = 0; j < m_data.t.size(); ++j)
            m_fixedLnS += m_data.c[j] * lnS(m_data.t[j]);
        if (m_data.n0 > 0)
            m_fixedLnS += m_data.n0 * lnS(m_data.t0);
        if (!m_law.empirical)
            m_nodes = NormalNodes::build(m_law.mu, m_law.sigma);
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
    if (warrantyFitted()) {
        const Law l = lawAt(x);
        m_cache = integralI(x[PA], x[PB], l, true);
    } else {
        m_cache = integralI(x[PA], x[PB], m_law, false, &m_nodes);
    }
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
        const double mu = m_fitMu ? x[PMu] : m_law.mu;
        const double sg = m_fitSigma ? std::exp(x[PS]) : m_law.sigma;
        lnS = 0;
        auto add = [&](double t, double c) {
            const double z = (t - mu) / sg;
            double lq, h;
            normalLogSurvival(z, lq, h);
            lnS += c * lq;
            const double hp = h * (h - z);
            Dm += c * h / sg;
            Ds += c * h * z;
            Dmm -= c * hp / (sg * sg);
            Dms -= c * (hp * z + h) / sg;
            Dss -= c * z * (hp * z + h);
        };
        for (size_t j = 0; j < d.t.size(); ++j)
            add(d.t[j], d.c[j]);
        if (d.n0 > 0)
            add(d.t0, d.n0);
    }
    const IStuff &is = istuff(x);
    const double NK = m_N * K;
    const double nt = n - d.n0;   // failures with a recorded time
    e.l = n * std::log(m_N) + n * k + nt * (a + b) + (B - 1) * d.sumLnT - A * S0 + lnS - NK * is.I;

    Vec &g = e.g;
    Mat &H = e.H;
    g[PA] = nt - A * S0;
    g[PB] = nt + B * d.sumLnT - A * B * S1;
    g[PK] = n;
    H(PA, PA) = -A * S0;
    H(PA, PB) = H(PB, PA) = -A * B * S1;
    H(PB, PB) = B * d.sumLnT - A * (B * S1 + B * B * S2);
    if (d.n0 > 0) {
        // The failures below the resolution: n0·ln F(t0), F's derivatives from its exponents.
        const FDerivs f = fderivs(a, B, d.t0);
        const double la = f.Fa / f.F, lb = f.Fb / f.F;
        e.l += d.n0 * std::log(f.F);
        g[PA] += d.n0 * la;
        g[PB] += d.n0 * lb;
        H(PA, PA) += d.n0 * (f.Faa / f.F - la * la);
        H(PA, PB) += d.n0 * (f.Fab / f.F - la * lb);
        H(PB, PA) = H(PA, PB);
        H(PB, PB) += d.n0 * (f.Fbb / f.F - lb * lb);
    }
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
