// SPDX-License-Identifier: MIT
#include "optimize.h"
#include "mle.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::mle::detail {

void logCumHazard(double k, double c, double &G, double &G1, double &G2)
{
    const double r = c * std::exp(-k);
    const double L1 = -std::log1p(-r);
    G = std::log(L1);
    const double D = (1 - r) * L1;
    G1 = -r / D;
    G2 = (r * (1 - r) * L1 + r * r * (L1 - 1)) / (D * D);
}

Reduced::Reduced(Likelihood &L, const Box &box, const Holding &how, const Vec &start)
    : m_L(L), m_box(box), m_how(how), m_base(start)
{
    bool present[NP] = {true, true, true, L.fitMu(), L.fitSigma()};
    switch (how.hold) {
    case Hold::None:
        break;
    case Hold::Coordinate:
        present[how.coord] = false;
        break;
    case Hold::Eta:
        m_elim = PA;
        break;
    case Hold::KA:
    case Hold::Time:
        m_elim = PA;
        break;
    case Hold::MtGar:
    case Hold::PerProduct:
        // Where F (or I) is near 1, ln K = ψ − ln F stays well defined while solving for
        // ln A loses its digits; where F is small, K's range is met along the ridge and
        // ln A is solved for with K a free coordinate.
        m_elim = how.elimK ? PK : PA;
        break;
    }
    if (m_elim >= 0)
        present[m_elim] = false;
    // K comes out in closed form unless the hold ties ln A to it, determines it or fixes it.
    m_profileK = present[PK] && how.hold != Hold::KA && how.hold != Hold::Time &&
                 how.hold != Hold::MtGar && how.hold != Hold::PerProduct;
    if (m_profileK)
        present[PK] = false;
    for (int i = 0; i < NP; ++i)
        if (present[i])
            m_free.push_back(i);
}

VecX Reduced::project(const Vec &x) const
{
    VecX y(dim());
    for (int i = 0; i < dim(); ++i)
        y[i] = x[m_free[size_t(i)]];
    return y;
}

void Reduced::limits(VecX &lo, VecX &hi) const
{
    lo.resize(dim());
    hi.resize(dim());
    for (int i = 0; i < dim(); ++i) {
        const int c = m_free[size_t(i)];
        lo[i] = m_box.lo[c];
        hi[i] = m_box.hi[c];
        if (c == PK) {
            // 1 − p/K (or 1 − e^ψ/K) must stay positive.
            double need = -std::numeric_limits<double>::infinity();
            if (m_how.hold == Hold::Time)
                need = std::log(m_how.p);
            else if (m_how.hold == Hold::MtGar)
                need = m_psi;
            if (std::isfinite(need))
                lo[i] = std::max(lo[i], need + 1e-9 * std::max(1.0, std::fabs(need)));
        }
    }
}

namespace {

//! ln F(T) and its gradient and Hessian in (ln A, ln B).
bool logF(double a, double B, double lnT, double &v, Vec &g, Mat &H)
{
    g.setZero();
    H.setZero();
    const double lnu = a + B * lnT;
    if (lnu > 700) {
        v = 0;
        return true;
    }
    const double u = std::exp(lnu);
    double F, e;
    if (u < 0.5) {
        const double em = std::expm1(-u);
        F = -em;
        e = 1 + em;
    } else {
        e = std::exp(-u);
        F = 1 - e;
    }
    if (!(F > 0))
        return false;
    v = std::log(F);
    const double r = u * e / F;   // ∂ln F/∂ln u
    // ∂²ln F/∂(ln u)² = r·(1 − u) − r².
    const double r2 = r * (1 - u) - r * r;
    const double BL = B * lnT;   // ∂ln u/∂ln B
    g[PA] = r;
    g[PB] = r * BL;
    H(PA, PA) = r2;
    H(PA, PB) = H(PB, PA) = r2 * BL;
    H(PB, PB) = r2 * BL * BL + r * BL;
    return std::isfinite(v);
}

}   // namespace

bool Reduced::eliminateA(Vec &x, double &e, Vec &ge, Mat &He)
{
    ge.setZero();
    He.setZero();
    const double B = std::exp(x[PB]);
    switch (m_how.hold) {
    case Hold::Eta:
        e = -B * m_psi;
        ge[PB] = e;
        He(PB, PB) = e;
        break;
    case Hold::KA:
        e = m_psi - x[PK];
        ge[PK] = -1;
        break;
    case Hold::Time:
    case Hold::MtGar: {
        const bool time = m_how.hold == Hold::Time;
        const double c = time ? m_how.p : std::exp(m_psi);
        if (!(c * std::exp(-x[PK]) < 1))
            return false;
        double G, G1, G2;
        logCumHazard(x[PK], c, G, G1, G2);
        const double lnT = time ? m_psi : m_how.lnT;
        e = G - B * lnT;
        ge[PK] = G1;
        He(PK, PK) = G2;
        ge[PB] = -B * lnT;
        He(PB, PB) = -B * lnT;
        break;
    }
    case Hold::PerProduct: {
        // ln I(a, ...) = ψ − ln K solved for ln A (I rises with A); its derivatives by
        // implicit differentiation of c = ln I + ln K − ψ = 0.
        const double target = m_psi - x[PK];
        double a = x[PA];
        bool solved = false;
        for (int it = 0; it < 100; ++it) {
            x[PA] = a;
            const IStuff &is = m_L.istuff(x);
            if (!(is.I > 0) || !(is.g[PA] > 0)) {
                a += 1;   // F vanished numerically: come back towards the data
                continue;
            }
            const double c = std::log(is.I) - target;
            if (std::fabs(c) < 1e-14) {
                solved = true;
                break;
            }
            const double step = std::clamp(-c / (is.g[PA] / is.I), -5.0, 5.0);
            if (!std::isfinite(step))
                return false;
            a += step;
            if (a > m_box.hi[PA] || a < m_box.lo[PA])
                return false;
        }
        if (!solved)
            return false;
        const IStuff &is = m_L.istuff(x);
        const Vec lg = is.g / is.I;
        const Mat lH = is.H / is.I - lg * lg.transpose();
        const double ca = lg[PA];
        Vec cy = lg;
        cy[PK] = 1;   // ∂c/∂ln K
        cy[PA] = 0;
        ge = -cy / ca;
        ge[PA] = 0;
        for (int i = 0; i < NP; ++i)
            for (int j = 0; j < NP; ++j) {
                if (i == PA || j == PA)
                    continue;
                const double cij = (i == PK || j == PK) ? 0.0 : lH(i, j);
                const double cia = i == PK ? 0.0 : lH(i, PA);
                const double cja = j == PK ? 0.0 : lH(j, PA);
                He(i, j) = -(cij + cia * ge[j] + cja * ge[i] + lH(PA, PA) * ge[i] * ge[j]) / ca;
            }
        e = a;
        break;
    }
    default:
        return false;
    }
    x[m_elim] = e;
    return std::isfinite(e);
}

bool Reduced::eliminate(Vec &x, double &e, Vec &ge, Mat &He)
{
    if (m_elim == PA && m_how.hold != Hold::Eta)
        return eliminateA(x, e, ge, He);
    ge.setZero();
    He.setZero();
    const double B = std::exp(x[PB]);
    switch (m_how.hold) {
    case Hold::Eta:
        e = -B * m_psi;
        ge[PB] = e;
        He(PB, PB) = e;
        break;
    case Hold::KA:
        e = m_psi - x[PA];
        ge[PA] = -1;
        break;
    case Hold::Time:
    case Hold::MtGar: {
        const bool time = m_how.hold == Hold::Time;
        double v;
        Vec g;
        Mat H;
        if (!logF(x[PA], B, time ? m_psi : m_how.lnT, v, g, H))
            return false;
        e = (time ? std::log(m_how.p) : m_psi) - v;
        ge = -g;
        He = -H;
        break;
    }
    case Hold::PerProduct: {
        const IStuff &is = m_L.istuff(x);
        if (!(is.I > 0))
            return false;
        const Vec lg = is.g / is.I;
        e = m_psi - std::log(is.I);
        ge = -lg;
        He = -(is.H / is.I - lg * lg.transpose());
        ge[PK] = 0;
        He.row(PK).setZero();
        He.col(PK).setZero();
        break;
    }
    default:
        return false;
    }
    if (!std::isfinite(e))
        return false;
    if (m_elim == PK && (e > m_box.hi[PK] || e < m_box.lo[PK])) {
        m_touched = true;   // the hold needs a K beyond its range
        return false;
    }
    x[m_elim] = e;
    return true;
}

bool Reduced::evaluate(const VecX &y, double &f, VecX &g, MatX &H, Vec *full)
{
    Vec x = m_base;
    if (m_how.hold == Hold::Coordinate)
        x[m_how.coord] = m_how.coord == PA ? -m_psi : m_psi;
    for (int i = 0; i < dim(); ++i)
        x[m_free[size_t(i)]] = y[i];
    double e = 0;
    Vec ge, gk;
    Mat He;
    if (m_elim >= 0 && !eliminate(x, e, ge, He))
        return false;
    m_kClamped = false;
    if (m_profileK) {
        const IStuff &is = m_L.istuff(x);
        if (!(is.I >= 0))
            return false;
        // I underflowing to 0 asks for an unbounded K: it is held at its range's end, where
        // the likelihood is still finite.
        double k = is.I > 0 ? std::log(m_L.data().n / (m_L.Nprived() * is.I)) : m_box.hi[PK];
        if (k > m_box.hi[PK]) {
            k = m_box.hi[PK];
            m_kClamped = true;
        } else if (k < m_box.lo[PK]) {
            k = m_box.lo[PK];
            m_kClamped = true;
        }
        m_touched = m_touched || m_kClamped;
        x[PK] = k;
    }
    const Eval ev = m_L.eval(x);
    if (!ev.ok)
        return false;
    Vec G = ev.g;
    Mat Hf = ev.H;
    if (m_elim >= 0) {
        // l(x_others, e(x_others)): chain rule.
        const int j = m_elim;
        const double Ge = G[j];
        const Vec He_col = Hf.col(j);
        const double Hee = Hf(j, j);
        Mat H2 = Hf + He_col * ge.transpose() + ge * He_col.transpose() +
                 Hee * ge * ge.transpose() + Ge * He;
        Vec G2 = G + Ge * ge;
        G2[j] = 0;
        H2.row(j).setZero();
        H2.col(j).setZero();
        G = G2;
        Hf = H2;
    }
    if (m_profileK && !m_kClamped) {
        // K at its closed-form optimum: the Schur complement of the K entry.
        const double hkk = Hf(PK, PK);
        const Vec hk = Hf.col(PK);
        Hf -= hk * hk.transpose() / hkk;
        G[PK] = 0;
    }
    f = ev.l;
    g.resize(dim());
    H.resize(dim(), dim());
    for (int i = 0; i < dim(); ++i) {
        g[i] = G[m_free[size_t(i)]];
        for (int k = 0; k < dim(); ++k)
            H(i, k) = Hf(m_free[size_t(i)], m_free[size_t(k)]);
    }
    if (full)
        *full = x;
    return true;
}

// ---------------------------------------------------------------------------------------

SearchResult maximise(Reduced &R, const VecX &y0, const std::atomic<bool> *cancel, int maxIter,
                      int maxEvals)
{
    SearchResult out;
    const int d = R.dim();
    VecX lo, hi;
    R.limits(lo, hi);
    VecX y = y0.cwiseMax(lo).cwiseMin(hi);
    double f;
    VecX g;
    MatX H;
    Vec x;
    R.resetTouched();
    ++out.evaluations;
    if (!R.evaluate(y, f, g, H, &x))
        return out;
    bool clamped = R.kClamped();   // at the accepted point
    out.ok = true;
    auto freeMask = [&](const VecX &grad, const VecX &pt) {
        std::vector<int> idx;
        for (int i = 0; i < d; ++i) {
            const bool atLo = pt[i] <= lo[i] && grad[i] < 0;
            const bool atHi = pt[i] >= hi[i] && grad[i] > 0;
            if (!atLo && !atHi)
                idx.push_back(i);
        }
        return idx;
    };
    int it = 0;
    for (; it < maxIter; ++it) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            throw Cancelled();
        const std::vector<int> F = freeMask(g, y);
        const int m = int(F.size());
        if (m == 0)
            break;
        VecX gF(m);
        MatX HF(m, m);
        for (int i = 0; i < m; ++i) {
            gF[i] = g[F[size_t(i)]];
            for (int j = 0; j < m; ++j)
                HF(i, j) = H(F[size_t(i)], F[size_t(j)]);
        }
        // Newton direction on −H, shifted until positive definite.
        MatX N = -HF;
        double shift = 0;
        const double scale = std::max(1e-12, N.diagonal().cwiseAbs().maxCoeff());
        VecX step;
        for (int attempt = 0; attempt < 60; ++attempt) {
            MatX M = N;
            M.diagonal().array() += shift;
            Eigen::LLT<MatX> llt(M);
            if (llt.info() == Eigen::Success) {
                step = llt.solve(gF);
                if (step.allFinite())
                    break;
            }
            shift = shift == 0 ? 1e-10 * scale : shift * 10;
        }
        if (step.size() != m || !step.allFinite())
            break;
        const double decrement = gF.dot(step);
        if (!(decrement > 0)) {
            out.converged = true;
            break;
        }
        // Near the maximum one more full step polishes the score to rounding; the value
        // may then change only within its rounding.
        const bool last = decrement < std::max(1e-12, 1e-16 * std::fabs(f));
        const double slack = last ? 1e-13 * std::max(1.0, std::fabs(f)) : 0.0;
        VecX dir = VecX::Zero(d);
        for (int i = 0; i < m; ++i)
            dir[F[size_t(i)]] = step[i];
        // Backtracking; steps are capped so that no coordinate moves by more than 5.
        double t = std::min(1.0, 5.0 / std::max(1e-300, dir.cwiseAbs().maxCoeff()));
        bool moved = false;
        for (int ls = 0; ls < 60 && out.evaluations < maxEvals; ++ls, t *= 0.5) {
            const VecX yn = (y + t * dir).cwiseMax(lo).cwiseMin(hi);
            double fn;
            VecX gn;
            MatX Hn;
            Vec xn;
            ++out.evaluations;
            if (R.evaluate(yn, fn, gn, Hn, &xn) && fn >= f - slack) {
                const bool same = (yn - y).cwiseAbs().maxCoeff() == 0;
                clamped = R.kClamped();
                y = yn;
                f = fn;
                g = gn;
                H = Hn;
                x = xn;
                moved = !same;
                break;
            }
        }
        if (last)
            out.converged = true;
        if (!moved || last || out.evaluations >= maxEvals)
            break;
    }
    out.y = y;
    out.x = x;
    out.f = f;
    out.iterations = it;
    double gn = 0;
    const std::vector<int> F = freeMask(g, y);
    for (int i : F)
        gn = std::max(gn, std::fabs(g[i]));
    out.gradNorm = gn;
    out.limited = clamped || int(F.size()) < d;
    // A search that stalls against K's range (a hold that needs K beyond it) met the limit.
    if (R.limitTouched() && !out.converged)
        out.limited = true;
    if (!out.converged && gn < 1e-8 * std::max(1.0, std::fabs(f)))
        out.converged = true;
    return out;
}

}   // namespace obr::mle::detail
