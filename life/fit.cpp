// SPDX-License-Identifier: MIT
#include "fit.h"

#include "life_texts.h"
#include "likelihood.h"
#include "model/errors.h"
#include "ranks.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::life {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kEuler = 0.57721566490153286061;

bool isLs(Dist d)
{
    return d == Dist::Weibull2 || d == Dist::Exponential || d == Dist::Lognormal ||
           d == Dist::Normal;
}
Family familyOf(Dist d)
{
    return d == Dist::Lognormal || d == Dist::Normal ? Family::Normal : Family::SEV;
}
bool logTimeOf(Dist d) { return d != Dist::Normal; }

double stdQuantile(Family f, double p)
{
    if (!(p > 0))
        return -kInf;
    if (!(p < 1))
        return kInf;
    if (f == Family::SEV)
        return std::log(-std::log1p(-p));
    return -std::sqrt(2.0) * boost::math::erfc_inv(2.0 * p);
}

QString numText(double v) { return QString::number(v, 'g', 12); }

//! Weighted mean and deviation of failure times on the fitting scale (start values).
void startMoments(const Prepared &p, bool logTime, double shift, double &mean, double &sd)
{
    double sw = 0, s1 = 0, s2 = 0;
    auto add = [&](double t, double w) {
        if (logTime && t - shift <= 0)
            return;
        const double y = logTime ? std::log(t - shift) : t - shift;
        sw += w;
        s1 += w * y;
        s2 += w * y * y;
    };
    for (size_t i = 0; i < p.ft.size(); ++i)
        add(p.ft[i], p.fw[i]);
    for (size_t i = 0; i < p.ib.size(); ++i)
        add(std::max(0.5 * (p.ia[i] + p.ib[i]), shift + 0.5 * (p.ib[i] - shift)), p.iw[i]);
    if (sw <= 0) {
        mean = 0;
        sd = 1;
        return;
    }
    mean = s1 / sw;
    const double var = s2 / sw - mean * mean;
    sd = var > 0 ? std::sqrt(var) : 0;
    if (!(sd > 1e-8 * (1 + std::abs(mean))))
        sd = logTime ? 0.5 : 0.5 * std::abs(mean) + 1;
}

struct LsFit {
    double mu = 0, s = 0, value = -kInf;
    bool converged = false;
    bool atEdge = false;
    Mat hessian;
};

//! ML of a location-scale law (fixedScale: exponential, s = 0).
LsFit fitLs(const LsData &d, bool fixedScale, double mu0, double s0, const std::atomic<bool> *stop)
{
    double spread = 1;
    {
        double lo = kInf, hi = -kInf;
        for (double y : d.fy)
            lo = std::min(lo, y), hi = std::max(hi, y);
        for (double y : d.sy)
            lo = std::min(lo, y), hi = std::max(hi, y);
        for (double y : d.yb)
            lo = std::min(lo, y), hi = std::max(hi, y);
        if (hi > lo)
            spread = hi - lo;
        else if (std::isfinite(hi))
            spread = std::max(1.0, std::abs(hi));
    }
    LsFit r;
    if (fixedScale) {
        Objective f = [&](const Vec &x, Vec *g, Mat *h) {
            const LsDerivs v = lsPass(d, x[0], 0, g || h);
            if (g)
                (*g) = Vec::Constant(1, v.g[0]);
            if (h)
                (*h) = Mat::Constant(1, 1, v.h[0][0]);
            return v.value;
        };
        Vec lo(1), hi(1);
        lo << mu0 - 700;
        hi << mu0 + 700;
        MaxResult m = maximize(f, Vec::Constant(1, mu0), lo, hi, 300, true, stop);
        r.mu = m.x[0];
        r.value = m.value;
        r.converged = m.converged;
        r.hessian = m.hessian;
        return r;
    }
    const double sLo = std::log(spread) - 16, sHi = std::log(spread) + 12;
    Objective f = [&](const Vec &x, Vec *g, Mat *h) {
        const LsDerivs v = lsPass(d, x[0], x[1], g || h);
        if (g) {
            g->resize(2);
            (*g) << v.g[0], v.g[1];
        }
        if (h) {
            h->resize(2, 2);
            (*h) << v.h[0][0], v.h[0][1], v.h[1][0], v.h[1][1];
        }
        return v.value;
    };
    Vec lo(2), hi(2), x0(2);
    lo << mu0 - 100 * spread - 100, sLo;
    hi << mu0 + 100 * spread + 100, sHi;
    x0 << mu0, std::clamp(s0, sLo + 1, sHi - 1);
    MaxResult m = maximize(f, x0, lo, hi, 300, true, stop);
    r.mu = m.x[0];
    r.s = m.x[1];
    r.value = m.value;
    r.converged = m.converged;
    r.hessian = m.hessian;
    r.atEdge = r.s < sLo + 2 || r.s > sHi - 2;
    return r;
}

void refuseNoMaximum(Dist dist, bool degenerate)
{
    throw UserError(txt::noMaximum.arg(distName(dist), degenerate ? txt::noMaximumDegenerate
                                                                  : txt::noMaximumDiverges));
}

//! Starting values of (mu, s) for a location-scale law.
void lsStart(const Prepared &p, Dist dist, double shift, double &mu0, double &s0)
{
    double m, sd;
    startMoments(p, logTimeOf(dist), shift, m, sd);
    if (familyOf(dist) == Family::SEV) {
        const double sigma = dist == Dist::Exponential ? 1 : sd * std::sqrt(6.0) / M_PI;
        mu0 = m + kEuler * sigma;
        s0 = std::log(sigma);
    } else {
        mu0 = m;
        s0 = std::log(sd);
    }
    // Suspensions push the scale up: a crude shift by the censored share.
    const double total = p.tally.total();
    const double failed = p.tally.failures + p.tally.intervals;
    if (failed > 0 && total > failed)
        mu0 += std::exp(s0) * std::log(total / failed) * 0.5;
}

struct MlResult {
    std::vector<double> theta;
    double value = -kInf;
    Mat hessian;     //!< of the log-likelihood in theta
    QString limit;   //!< not empty: the likelihood rises to the edge of the range (why)
};

MlResult mlLocationScale(const Prepared &p, Dist dist, const std::atomic<bool> *stop)
{
    LsData d;
    makeLs(p, familyOf(dist), logTimeOf(dist), 0, d);
    double mu0, s0;
    lsStart(p, dist, 0, mu0, s0);
    const bool fixed = dist == Dist::Exponential;
    LsFit f = fitLs(d, fixed, mu0, s0, stop);
    if (!f.converged || f.atEdge || !std::isfinite(f.value))
        refuseNoMaximum(dist, f.atEdge || p.distinctFailureTimes < 2);
    MlResult r;
    r.value = f.value;
    r.hessian = f.hessian;
    r.theta = fixed ? std::vector<double>{f.mu} : std::vector<double>{f.mu, f.s};
    return r;
}

Mat w3Hessian(const W3Derivs &v)
{
    Mat h(3, 3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            h(i, j) = v.h[i][j];
    return h;
}

MlResult mlWeibull3(const Prepared &p, const std::atomic<bool> *stop)
{
    const Dist dist = Dist::Weibull3;
    const double t1 = p.firstFailure;
    double tmax = t1;
    for (double t : p.st)
        tmax = std::max(tmax, t);
    for (double t : p.ft)
        tmax = std::max(tmax, t);
    for (double t : p.ib)
        tmax = std::max(tmax, t);
    if (p.distinctFailureTimes < 3)
        throw UserError(txt::tooFewDistinct.arg(distName(dist)));
    const double span = std::max(tmax, 1e-300);

    struct Eval {
        double gamma, value, mu, s;
    };
    LsData d;
    double muW = 0, sW = 0;
    bool warm = false;
    auto profile = [&](double gamma) -> Eval {
        checkStop(stop);
        if (!makeLs(p, Family::SEV, true, gamma, d))
            return {gamma, -kInf, 0, 0};
        double mu0, s0;
        if (warm) {
            mu0 = muW;
            s0 = sW;
        } else {
            lsStart(p, Dist::Weibull2, gamma, mu0, s0);
        }
        LsFit f = fitLs(d, false, mu0, s0, stop);
        if (!f.converged) {
            lsStart(p, Dist::Weibull2, gamma, mu0, s0);
            f = fitLs(d, false, mu0, s0, stop);
        }
        if (!f.converged || f.atEdge)
            return {gamma, -kInf, f.mu, f.s};
        muW = f.mu;
        sW = f.s;
        warm = true;
        return {gamma, f.value, f.mu, f.s};
    };

    // The location lies below the first failure; scan ln(t1 - gamma), then refine.
    const double uLo = std::log(span * 1e-7), uHi = std::log(t1 + span);
    const int nGrid = 24;
    std::vector<Eval> grid;
    for (int i = 0; i <= nGrid; ++i) {
        const double u = uHi - (uHi - uLo) * i / nGrid;
        grid.push_back(profile(t1 - std::exp(u)));
    }
    // The likelihood grows without bound as gamma nears the first failure with a shape
    // below 1; the estimate is the best interior local maximum of the profile.
    size_t best = grid.size();
    for (size_t i = 0; i + 1 < grid.size(); ++i) {
        if (!std::isfinite(grid[i].value))
            continue;
        const bool left = i == 0 || grid[i].value >= grid[i - 1].value;
        if (left && grid[i].value >= grid[i + 1].value &&
            (best == grid.size() || grid[i].value > grid[best].value))
            best = i;
    }
    if (best == grid.size()) {
        if (std::isfinite(grid.back().value) && std::exp(-grid.back().s) < 1)
            throw UserError(txt::locationAtFirstFailure.arg(numText(t1)));
        refuseNoMaximum(dist, false);
    }
    auto uOf = [&](size_t i) { return uHi - (uHi - uLo) * double(i) / nGrid; };
    if (best == 0) {
        // The profile still rises at the lowest location searched: the law tends to one
        // without a location (its shape grows without end), there is no maximum.
        MlResult r;
        r.theta = {grid[0].mu, grid[0].s, grid[0].gamma};
        r.value = grid[0].value;
        r.limit = txt::locationAtLowerLimit.arg(numText(grid[0].gamma));
        r.hessian = w3Hessian(w3Pass(p, grid[0].mu, grid[0].s, grid[0].gamma));
        return r;
    }

    // Newton's method in all three parameters between the neighbours of the best point.
    const double gLo = t1 - std::exp(uOf(best - 1));
    const double gHi = t1 - std::exp(uOf(std::min(best + 1, grid.size() - 1)));
    Objective f3 = [&](const Vec &x, Vec *g, Mat *h) {
        const W3Derivs v = w3Pass(p, x[0], x[1], x[2], g || h);
        if (g) {
            g->resize(3);
            (*g) << v.g[0], v.g[1], v.g[2];
        }
        if (h)
            *h = w3Hessian(v);
        return v.value;
    };
    Vec lo(3), hi(3), x0(3);
    lo << grid[best].mu - 100, grid[best].s - 20, gLo;
    hi << grid[best].mu + 100, grid[best].s + 20, gHi;
    x0 << grid[best].mu, grid[best].s, grid[best].gamma;
    MaxResult m = maximize(f3, x0, lo, hi, 200, true, stop);
    Eval top{m.x[2], m.value, m.x[0], m.x[1]};
    if (!m.converged || !(m.value >= grid[best].value)) {
        // Golden-section search on u between the neighbours of the best grid point.
        double a = uOf(std::min(best + 1, grid.size() - 1)), b = uOf(best - 1);
        const double phi = (std::sqrt(5.0) - 1) / 2;
        muW = grid[best].mu;
        sW = grid[best].s;
        double c = b - phi * (b - a), e = a + phi * (b - a);
        Eval fc = profile(t1 - std::exp(c)), fe = profile(t1 - std::exp(e));
        for (int it = 0; it < 200 && b - a > 1e-12 * (1 + std::abs(b)); ++it) {
            if (fc.value > fe.value) {
                b = e;
                e = c;
                fe = fc;
                c = b - phi * (b - a);
                fc = profile(t1 - std::exp(c));
            } else {
                a = c;
                c = e;
                fc = fe;
                e = a + phi * (b - a);
                fe = profile(t1 - std::exp(e));
            }
        }
        top = fc.value > fe.value ? fc : fe;
        if (grid[best].value > top.value)
            top = grid[best];
    }
    if (!std::isfinite(top.value))
        refuseNoMaximum(dist, false);

    MlResult r;
    r.theta = {top.mu, top.s, top.gamma};
    r.value = top.value;
    r.hessian = w3Hessian(w3Pass(p, top.mu, top.s, top.gamma));
    return r;
}

MlResult mlGamma(const Prepared &p, const std::atomic<bool> *stop)
{
    const Dist dist = Dist::Gamma;
    // Start from the lognormal fit matched by its mean and variance.
    double lnk0 = 0, lnth0 = 0;
    try {
        MlResult ln = mlLocationScale(p, Dist::Lognormal, stop);
        const double m = ln.theta[0], s2 = std::exp(2 * ln.theta[1]);
        const double k = 1 / std::expm1(s2);
        const double mean = std::exp(m + s2 / 2);
        lnk0 = std::log(k);
        lnth0 = std::log(mean / k);
    } catch (const UserError &) {
        double m, sd;
        startMoments(p, false, 0, m, sd);
        const double k = m > 0 && sd > 0 ? (m / sd) * (m / sd) : 1;
        lnk0 = std::log(k);
        lnth0 = std::log(std::max(m, 1e-300) / k);
    }
    if (!std::isfinite(lnk0) || !std::isfinite(lnth0))
        refuseNoMaximum(dist, true);
    lnk0 = std::clamp(lnk0, -9.0, 9.0);
    Objective f = [&](const Vec &x, Vec *g, Mat *h) {
        const GammaDerivs v = gammaPass(p, x[0], x[1], g || h);
        if (g) {
            g->resize(2);
            (*g) << v.g[0], v.g[1];
        }
        if (h) {
            h->resize(2, 2);
            (*h) << v.h[0][0], v.h[0][1], v.h[1][0], v.h[1][1];
        }
        return v.value;
    };
    Vec lo(2), hi(2), x0(2);
    lo << -12, lnth0 - 60;
    hi << 12, lnth0 + 60;
    x0 << lnk0, lnth0;
    MaxResult m = maximize(f, x0, lo, hi, 300, true, stop);
    const bool edge = m.x[0] < -10 || m.x[0] > 10;
    if (!m.converged || edge || !std::isfinite(m.value))
        refuseNoMaximum(dist, edge || p.distinctFailureTimes < 2);
    MlResult r;
    r.theta = {m.x[0], m.x[1]};
    r.value = m.value;
    r.hessian = m.hessian;
    return r;
}

// ---- rank regression ----

MlResult rankRegression(const LifeData &data, const Prepared &p, Dist dist, Estimator est,
                        double &rho)
{
    if (!isLs(dist))
        throw UserError(txt::regressionDist.arg(distName(dist)));
    if (p.tally.intervals > 0)
        throw UserError(txt::regressionIntervals);
    if (p.distinctFailureTimes < 2)
        throw UserError(txt::tooFewForRegression);
    const Paper paper = paperFor(dist);
    double sw = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (const PlotPoint &pt : unitPositions(data)) {
        const double x = paperX(paper, pt.t), y = paperY(paper, pt.F);
        if (!std::isfinite(x))
            continue;
        sw += 1;
        sx += x;
        sy += y;
        sxx += x * x;
        syy += y * y;
        sxy += x * y;
    }
    MlResult r;
    if (dist == Dist::Exponential) {
        // Exponential paper: -ln(1 - F) = lambda t, a line through the origin.
        const double lambda = est == Estimator::RRY ? sxy / sxx : syy / sxy;
        if (!(lambda > 0) || !std::isfinite(lambda))
            throw UserError(txt::tooFewForRegression);
        r.theta = {-std::log(lambda)};
        rho = sxy / std::sqrt(sxx * syy);
        return r;
    }
    const double cxx = sxx - sx * sx / sw, cyy = syy - sy * sy / sw, cxy = sxy - sx * sy / sw;
    if (!(cxx > 0) || !(cyy > 0))
        throw UserError(txt::tooFewForRegression);
    rho = cxy / std::sqrt(cxx * cyy);
    double mu, sigma;
    if (est == Estimator::RRY) {
        // y = (x - mu) / sigma
        const double slope = cxy / cxx, icpt = (sy - slope * sx) / sw;
        sigma = 1 / slope;
        mu = -icpt * sigma;
    } else {
        // x = mu + sigma y
        sigma = cxy / cyy;
        mu = (sx - sigma * sy) / sw;
    }
    if (!(sigma > 0) || !std::isfinite(mu))
        throw UserError(txt::tooFewForRegression);
    r.theta = {mu, std::log(sigma)};
    return r;
}

// ---- reported figures ----

struct ParamSpec {
    QString key;
    int index;
    int sign;       //!< work scale = sign * theta[index]; 0: the parameter itself (linear)
    bool logWork;   //!< the value is exp(work)
};

std::vector<ParamSpec> paramSpecs(Dist d)
{
    switch (d) {
    case Dist::Weibull2:
        return {{"eta", 0, 1, true}, {"beta", 1, -1, true}};
    case Dist::Weibull3:
        return {{"eta", 0, 1, true}, {"beta", 1, -1, true}, {"gamma", 2, 1, false}};
    case Dist::Exponential:
        return {{"lambda", 0, -1, true}};
    case Dist::Lognormal:
    case Dist::Normal:
        return {{"mu", 0, 1, false}, {"sigma", 1, 1, true}};
    case Dist::Gamma:
        return {{"shape", 0, 1, true}, {"scale", 1, 1, true}};
    }
    return {};
}

double fromWork(bool logWork, double w) { return logWork ? std::exp(w) : w; }

//! A reported figure: its work-scale function of theta and its back transform.
struct Quantity {
    enum Kind { Param, BLife, Reliability } kind = Param;
    int param = 0;         //!< Param: index into paramSpecs
    double p = 0;          //!< BLife: failed share
    double t = 0;          //!< Reliability: time
    bool logWork = true;   //!< BLife: ln t_p (else t_p); Reliability: always ln(-ln R)
};

double workValue(Dist d, const Quantity &q, const std::vector<double> &th)
{
    switch (q.kind) {
    case Quantity::Param: {
        const ParamSpec s = paramSpecs(d)[q.param];
        return s.sign * th[s.index];
    }
    case Quantity::BLife: {
        const double tp = quantile(d, th, q.p);
        return q.logWork ? std::log(tp) : tp;
    }
    case Quantity::Reliability: {
        const double lr = logSurvival(d, th, q.t);
        return std::log(-lr);
    }
    }
    return 0;
}

double naturalValue(const Quantity &q, double w, Dist d)
{
    switch (q.kind) {
    case Quantity::Param:
        return fromWork(paramSpecs(d)[q.param].logWork, w);
    case Quantity::BLife:
        return q.logWork ? std::exp(w) : w;
    case Quantity::Reliability:
        return std::exp(-std::exp(w));
    }
    return w;
}

//! The internal parameters for a work value and the free parameters of its profile.
struct Profile {
    int freeDim = 0;
    std::function<bool(double w, const Vec &phi, std::vector<double> &theta)> map;
    std::function<Vec(const std::vector<double> &theta)> phiOf;
    Vec lo, hi, steps;
};

Profile profileFor(Dist d, const Quantity &q, const Prepared &p)
{
    Profile pr;
    const int k = paramCount(d);
    if (q.kind == Quantity::Param) {
        const ParamSpec s = paramSpecs(d)[q.param];
        pr.freeDim = k - 1;
        const int fixed = s.index;
        const int sign = s.sign == 0 ? 1 : s.sign;
        pr.map = [=](double w, const Vec &phi, std::vector<double> &th) {
            th.assign(k, 0);
            int j = 0;
            for (int i = 0; i < k; ++i)
                th[i] = i == fixed ? sign * w : phi[j++];
            return true;
        };
        pr.phiOf = [=](const std::vector<double> &th) {
            Vec v(k - 1);
            int j = 0;
            for (int i = 0; i < k; ++i)
                if (i != fixed)
                    v[j++] = th[i];
            return v;
        };
    } else {
        // Substitute the figure for the scale-like parameter; the others stay free.
        const bool rel = q.kind == Quantity::Reliability;
        const double pp = q.p, t0 = q.t;
        const bool logWork = q.logWork;
        switch (d) {
        case Dist::Weibull2:
        case Dist::Lognormal:
        case Dist::Normal: {
            const Family fam = familyOf(d);
            const bool logT = logTimeOf(d);
            pr.freeDim = 1;
            pr.map = [=](double w, const Vec &phi, std::vector<double> &th) {
                const double sigma = std::exp(phi[0]);
                double a, z;
                if (rel) {
                    const double R = std::exp(-std::exp(w));
                    z = stdQuantile(fam, -std::expm1(-std::exp(w)));
                    if (R <= 0 || R >= 1 || !std::isfinite(z))
                        return false;
                    a = logT ? std::log(t0) : t0;
                } else {
                    const double tp = logWork ? std::exp(w) : w;
                    if (logT && tp <= 0)
                        return false;
                    a = logT ? std::log(tp) : tp;
                    z = stdQuantile(fam, pp);
                }
                th = {a - sigma * z, phi[0]};
                return true;
            };
            pr.phiOf = [](const std::vector<double> &th) { return Vec::Constant(1, th[1]); };
            break;
        }
        case Dist::Exponential:
            pr.freeDim = 0;
            pr.map = [=](double w, const Vec &, std::vector<double> &th) {
                if (rel) {
                    // R = exp(-t0 / e^mu): ln(-ln R) = ln t0 - mu
                    th = {std::log(t0) - w};
                } else {
                    const double tp = std::exp(w);
                    th = {std::log(tp / -std::log1p(-pp))};
                }
                return true;
            };
            pr.phiOf = [](const std::vector<double> &) { return Vec(0); };
            break;
        case Dist::Weibull3:
            pr.freeDim = 2;
            pr.map = [=](double w, const Vec &phi, std::vector<double> &th) {
                const double sigma = std::exp(phi[0]), gamma = phi[1];
                double a, z;
                if (rel) {
                    if (t0 <= gamma)
                        return false;
                    a = std::log(t0 - gamma);
                    z = w;   // smallest extreme value: z = ln(-ln R)
                } else {
                    const double tp = std::exp(w);
                    if (tp <= gamma)
                        return false;
                    a = std::log(tp - gamma);
                    z = stdQuantile(Family::SEV, pp);
                }
                th = {a - sigma * z, phi[0], gamma};
                return true;
            };
            pr.phiOf = [](const std::vector<double> &th) {
                Vec v(2);
                v << th[1], th[2];
                return v;
            };
            break;
        case Dist::Gamma:
            pr.freeDim = 1;
            pr.map = [=](double w, const Vec &phi, std::vector<double> &th) {
                const double kk = std::exp(phi[0]);
                double x;
                try {
                    if (rel) {
                        const double R = std::exp(-std::exp(w));
                        if (R <= 0 || R >= 1)
                            return false;
                        x = boost::math::gamma_q_inv(kk, R);
                        th = {phi[0], std::log(t0 / x)};
                    } else {
                        x = boost::math::gamma_p_inv(kk, pp);
                        th = {phi[0], w - std::log(x)};
                    }
                } catch (...) {
                    return false;
                }
                return std::isfinite(th[1]);
            };
            pr.phiOf = [](const std::vector<double> &th) { return Vec::Constant(1, th[0]); };
            break;
        }
    }
    pr.lo = Vec::Constant(pr.freeDim, -1e300);
    pr.hi = Vec::Constant(pr.freeDim, 1e300);
    pr.steps = Vec::Constant(pr.freeDim, 1e-5);
    if (d == Dist::Weibull3) {
        // gamma is the last free parameter in every W3 profile but the one fixing gamma.
        const bool gammaFree = !(q.kind == Quantity::Param && paramSpecs(d)[q.param].index == 2);
        if (gammaFree) {
            pr.hi[pr.freeDim - 1] = p.firstFailure * (1 - 1e-12) - 1e-300;
            pr.steps[pr.freeDim - 1] = 1e-5 * std::max(1.0, p.firstFailure);
        }
    }
    return pr;
}

struct Bounder {
    Dist dist;
    const Prepared &prep;
    const std::vector<double> &thetaHat;
    double lHat;
    double chi2;
    LsData ls;   //!< for the analytic profiles of location-scale laws
    bool useLs = false;
    const std::atomic<bool> *stop = nullptr;
};

//! The log-likelihood with its analytic gradient and Hessian in theta (W3 and gamma).
double thetaDerivs(Dist d, const Prepared &p, const std::vector<double> &th, bool der, Vec &g,
                   Mat &h)
{
    if (d == Dist::Weibull3) {
        const W3Derivs v = w3Pass(p, th[0], th[1], th[2], der);
        if (der) {
            g.resize(3);
            g << v.g[0], v.g[1], v.g[2];
            h = w3Hessian(v);
        }
        return v.value;
    }
    const GammaDerivs v = gammaPass(p, th[0], th[1], der);
    if (der) {
        g.resize(2);
        g << v.g[0], v.g[1];
        h.resize(2, 2);
        h << v.h[0][0], v.h[0][1], v.h[1][0], v.h[1][1];
    }
    return v.value;
}

/*! The first and second derivatives of a profile's map theta(w, phi) in phi, by
 * differences of the map alone (no pass over the data). False where the map fails. */
bool mapJet(const Profile &pr, double w, const Vec &x, const std::vector<double> &th, Mat &J,
            std::vector<Mat> &T2)
{
    const int m = int(x.size()), k = int(th.size());
    J.resize(k, m);
    T2.assign(k, Mat::Zero(m, m));
    std::vector<double> a, b, c, e;
    for (int j = 0; j < m; ++j) {
        const double h1 = 1e-6 * (1 + std::abs(x[j])), h2 = 1e-4 * (1 + std::abs(x[j]));
        Vec xp = x, xm = x;
        xp[j] += h1;
        xm[j] -= h1;
        if (!pr.map(w, xp, a) || !pr.map(w, xm, b))
            return false;
        for (int i = 0; i < k; ++i)
            J(i, j) = (a[i] - b[i]) / (2 * h1);
        xp = x, xm = x;
        xp[j] += h2;
        xm[j] -= h2;
        if (!pr.map(w, xp, a) || !pr.map(w, xm, b))
            return false;
        for (int i = 0; i < k; ++i)
            T2[i](j, j) = (a[i] - 2 * th[i] + b[i]) / (h2 * h2);
        for (int l = j + 1; l < m; ++l) {
            const double hl = 1e-4 * (1 + std::abs(x[l]));
            Vec pp = x, pm = x, mp = x, mm = x;
            pp[j] += h2, pp[l] += hl;
            pm[j] += h2, pm[l] -= hl;
            mp[j] -= h2, mp[l] += hl;
            mm[j] -= h2, mm[l] -= hl;
            std::vector<double> q;
            if (!pr.map(w, pp, a) || !pr.map(w, pm, b) || !pr.map(w, mp, c) || !pr.map(w, mm, e))
                return false;
            for (int i = 0; i < k; ++i)
                T2[i](j, l) = T2[i](l, j) = (a[i] - b[i] - c[i] + e[i]) / (4 * h2 * hl);
        }
    }
    return true;
}

//! The profile log-likelihood at the work value w (warm start and result in phi).
/*! The profile log-likelihood at the work value w (warm start and result in phi). Where the
 * likelihood has analytic derivatives, \a slope receives d lp / dw (by the envelope
 * theorem, the gradient at the inner maximum along the map's dependence on w); NaN else. */
double profileAt(Bounder &b, const Profile &pr, const Quantity &q, double w, Vec &phi,
                 double *slope = nullptr)
{
    const Dist d = b.dist;
    if (slope)
        *slope = std::numeric_limits<double>::quiet_NaN();
    checkStop(b.stop);
    if ((d == Dist::Weibull3 || d == Dist::Gamma) && pr.freeDim > 0) {
        // Analytic derivatives in theta carried to phi by the chain rule through the map.
        Vec lastX, lastG;
        Objective f = [&](const Vec &x, Vec *g, Mat *h) {
            std::vector<double> th;
            if (!pr.map(w, x, th))
                return -kInf;
            Vec G;
            Mat H;
            const double v = thetaDerivs(d, b.prep, th, g || h, G, H);
            if ((!g && !h) || !std::isfinite(v))
                return v;
            Mat J;
            std::vector<Mat> T2;
            if (!mapJet(pr, w, x, th, J, T2))
                return -kInf;
            lastX = x;
            lastG = G;
            if (g)
                *g = J.transpose() * G;
            if (h) {
                *h = J.transpose() * H * J;
                for (int i = 0; i < int(th.size()); ++i)
                    *h += G[i] * T2[i];
            }
            return v;
        };
        MaxResult m = maximize(f, phi, pr.lo, pr.hi, 100, true, b.stop);
        if (!std::isfinite(m.value))
            return -kInf;
        phi = m.x;
        if (slope && m.converged && lastX.size() == m.x.size() && lastX == m.x) {
            const double h = 1e-7 * (1 + std::abs(w));
            std::vector<double> tp, tm;
            if (pr.map(w + h, m.x, tp) && pr.map(w - h, m.x, tm)) {
                double sl = 0;
                for (int i = 0; i < int(tp.size()); ++i)
                    sl += lastG[i] * (tp[i] - tm[i]) / (2 * h);
                *slope = sl;
            }
        }
        return m.value;
    }
    if (b.useLs && pr.freeDim == 1 && d != Dist::Gamma) {
        Vec lastX;
        double lastG[2] = {0, 0};
        // Analytic derivatives through the chain rule: theta = (mu(w, s) or fixed, s).
        const bool fixS = q.kind == Quantity::Param && paramSpecs(d)[q.param].index == 1;
        Objective f = [&](const Vec &x, Vec *g, Mat *h) {
            std::vector<double> th;
            if (!pr.map(w, x, th))
                return -kInf;
            const LsDerivs v = lsPass(b.ls, th[0], th[1], g || h);
            if (!g && !h)
                return v.value;
            lastX = x;
            lastG[0] = v.g[0];
            lastG[1] = v.g[1];
            double d1, d2;
            if (fixS) {
                d1 = v.g[0];
                d2 = v.h[0][0];
            } else {
                // mu = a - sigma z with s = ln sigma free: dmu/ds = -sigma z. The map at
                // sigma = 1 and 2 gives a - z and a - 2z, hence z.
                std::vector<double> thA, thB;
                pr.map(w, Vec::Constant(1, 0.0), thA);
                pr.map(w, Vec::Constant(1, std::log(2.0)), thB);
                const double zz = thA[0] - thB[0];
                const double dmu = -std::exp(x[0]) * zz;
                d1 = v.g[0] * dmu + v.g[1];
                d2 = v.h[0][0] * dmu * dmu + 2 * v.h[0][1] * dmu + v.h[1][1] + v.g[0] * dmu;
            }
            if (g)
                *g = Vec::Constant(1, d1);
            if (h)
                *h = Mat::Constant(1, 1, d2);
            return v.value;
        };
        MaxResult m = maximize(f, phi, pr.lo, pr.hi, 100, true, b.stop);
        if (!m.converged && !std::isfinite(m.value))
            return -kInf;
        phi = m.x;
        if (slope && m.converged && lastX.size() == 1 && lastX[0] == m.x[0]) {
            // d theta / dw at the inner maximum, from the map (no pass over the data).
            const double h = 1e-7 * (1 + std::abs(w));
            std::vector<double> tp, tm;
            if (pr.map(w + h, m.x, tp) && pr.map(w - h, m.x, tm))
                *slope = (lastG[0] * (tp[0] - tm[0]) + lastG[1] * (tp[1] - tm[1])) / (2 * h);
        }
        return m.value;
    }
    auto value = [&](const Vec &x) {
        std::vector<double> th;
        if (!pr.map(w, x, th))
            return -kInf;
        // The exponential law's profile is a point: one pass over the prepared table.
        if (d == Dist::Exponential)
            return lsPass(b.ls, th[0], 0, false).value;
        return logLikelihood(d, b.prep, th);
    };
    if (pr.freeDim == 0)
        return value(phi);
    Objective f = numericObjective(value, pr.steps);
    MaxResult m = maximize(f, phi, pr.lo, pr.hi, 100, false, b.stop);
    if (!std::isfinite(m.value))
        return -kInf;
    phi = m.x;
    return m.value;
}

/*! Solves 2 (lHat - lp(w)) = chi2 on one side of wHat. The signed root of the deviance is
 * nearly linear in w, so a secant on it converges in a few profile evaluations; a bracket
 * keeps it safe. No crossing inside the admissible range: the side is unbounded. */
std::optional<double> lrSide(Bounder &b, const Quantity &q, double wHat, double guess, int dir,
                             double limit)
{
    const Profile pr = profileFor(b.dist, q, b.prep);
    const double target = std::sqrt(b.chi2);
    Vec phiIn = pr.phiOf(b.thetaHat);
    double slopeNow = std::numeric_limits<double>::quiet_NaN();
    auto rootAt = [&](double w, Vec &phi) {
        const double lp = profileAt(b, pr, q, w, phi, &slopeNow);
        if (!std::isfinite(lp))
            return std::numeric_limits<double>::quiet_NaN();
        return std::sqrt(std::max(0.0, 2 * (b.lHat - lp)));
    };
    // Warm starts follow the free parameters along w.
    double wLast = wHat;
    Vec phiLast = phiIn, phiRate = Vec::Zero(phiIn.size());
    double wPrev = wHat, sPrev = 0;
    double wIn = wHat, sIn = 0;
    double wOut = 0, sOut = 0;
    bool haveOut = false;
    double w = guess;
    if (!((w - wHat) * dir > 0) || !std::isfinite(w))
        w = wHat + dir * 0.1 * (1 + std::abs(wHat));
    for (int it = 0; it < 200; ++it) {
        checkStop(b.stop);
        if ((w - wHat) * dir > limit)
            w = wHat + dir * limit;
        Vec ph = phiLast + phiRate * (w - wLast);
        for (int i = 0; i < ph.size(); ++i)
            ph[i] = std::clamp(ph[i], pr.lo[i], pr.hi[i]);
        double sv = rootAt(w, ph);
        if (std::isnan(sv) && ph.size() > 0) {
            ph = phiIn;   // the extrapolated start failed: start from the last inside point
            sv = rootAt(w, ph);
        }
        if (!std::isnan(sv) && w != wLast) {
            phiRate = (ph - phiLast) / (w - wLast);
            phiLast = ph;
            wLast = w;
        }
        if (std::isnan(sv)) {
            if (haveOut)
                return std::nullopt;
            // Beyond the admissible range: step back toward the last good point.
            if (std::abs(w - wIn) < 1e-9 * (1 + std::abs(w)))
                return std::nullopt;
            w = 0.5 * (w + wIn);
            continue;
        }
        if (std::abs(sv - target) < 1e-11 * target)
            return w;
        if (sv < target) {
            wIn = w;
            sIn = sv;
            phiIn = ph;
            if (!haveOut && (w - wHat) * dir >= limit * (1 - 1e-12))
                return std::nullopt;
        } else {
            wOut = w;
            sOut = sv;
            haveOut = true;
        }
        if (haveOut && std::abs(wOut - wIn) < 1e-12 * (1 + std::abs(w)))
            return 0.5 * (wIn + wOut);
        double wn;
        // d sqrt(D) / dw = -(d lp / dw) / sqrt(D) with D = 2 (lHat - lp).
        const double dr = sv > 0 ? -slopeNow / sv : std::numeric_limits<double>::quiet_NaN();
        if (std::isfinite(dr) && dr * dir > 0)
            wn = w + (target - sv) / dr;
        else if (std::abs(sv - sPrev) > 1e-300 && std::abs(w - wPrev) > 0)
            wn = w + (target - sv) * (w - wPrev) / (sv - sPrev);
        else
            wn = w + dir * std::abs(w - wHat);
        if (haveOut) {
            // Keep strictly inside the bracket; fall back to the false-position point.
            const double loB = std::min(wIn, wOut), hiB = std::max(wIn, wOut);
            if (!(wn > loB && wn < hiB) || !std::isfinite(wn))
                wn = wIn + (target - sIn) * (wOut - wIn) / (sOut - sIn);
            if (!(wn > loB && wn < hiB))
                wn = 0.5 * (wIn + wOut);
        } else if (!std::isfinite(wn) || (wn - w) * dir <= 0) {
            wn = w + dir * 2 * std::abs(w - wHat);   // the deviance does not rise yet
        } else {
            wn = w + std::min(std::abs(wn - w), 4 * std::abs(w - wHat)) * dir;
        }
        wPrev = w;
        sPrev = sv;
        w = wn;
    }
    return haveOut ? std::optional<double>(0.5 * (wIn + wOut)) : std::nullopt;
}

Figure makeFigure(Dist d, const QString &key, const Quantity &q, const std::vector<double> &th,
                  const Mat &cov, double z, Bounder *lr)
{
    Figure f;
    f.key = key;
    const double w = workValue(d, q, th);
    f.value = naturalValue(q, w, d);
    const bool decreasing = q.kind == Quantity::Reliability;
    double se = std::numeric_limits<double>::quiet_NaN();
    if (cov.size() > 0 && std::isfinite(w)) {
        const int k = int(th.size());
        Vec grad(k);
        for (int i = 0; i < k; ++i) {
            const double h = 1e-6 * std::max(1.0, std::abs(th[i]));
            std::vector<double> a = th, b = th;
            a[i] += h;
            b[i] -= h;
            grad[i] = (workValue(d, q, a) - workValue(d, q, b)) / (2 * h);
        }
        const double var = grad.dot(cov * grad);
        if (var >= 0 && std::isfinite(var)) {
            se = std::sqrt(var);
            const double a = naturalValue(q, w - z * se, d), b = naturalValue(q, w + z * se, d);
            f.fisher = Bounds{decreasing ? b : a, decreasing ? a : b};
        }
    }
    if (lr && std::isfinite(w)) {
        // A B-life of the normal law is profiled in time itself, so that a bound below
        // zero is found (and shown as such) rather than lost beyond ln 0.
        Quantity ql = q;
        double wl = w, sel = se;
        if (d == Dist::Normal && q.kind == Quantity::BLife && q.logWork) {
            ql.logWork = false;
            wl = f.value;
            sel = se * f.value;
        }
        const bool linear = (ql.kind == Quantity::Param && !paramSpecs(d)[ql.param].logWork) ||
                            (ql.kind == Quantity::BLife && !ql.logWork);
        const double guessStep = std::isfinite(sel) && sel > 0 ? z * sel : 0.1 * (1 + std::abs(wl));
        const double limit = linear ? 1e3 * guessStep + 1e3 * (1 + std::abs(wl)) : 40;
        auto lo = lrSide(*lr, ql, wl, wl - guessStep, -1, limit);
        auto hi = lrSide(*lr, ql, wl, wl + guessStep, +1, limit);
        Bounds bd;
        auto nat = [&](std::optional<double> x) -> std::optional<double> {
            if (!x)
                return std::nullopt;
            const double v = naturalValue(ql, *x, d);
            // A reliability bound that rounds to 0 or 1 has no limit short of them.
            if (decreasing && !(v > 0 && v < 1))
                return std::nullopt;
            return v;
        };
        if (decreasing) {
            bd.low = nat(hi);
            bd.high = nat(lo);
        } else {
            bd.low = nat(lo);
            bd.high = nat(hi);
        }
        f.lr = bd;
    }
    return f;
}

}   // namespace

Figure reliabilityAt(const LifeFit &fit, double t)
{
    Quantity q;
    q.kind = Quantity::Reliability;
    q.t = t;
    const double lrv = logSurvival(fit.dist, fit.theta, t);
    if (!(lrv < 0) || !std::isfinite(lrv)) {
        Figure f;
        f.value = std::exp(lrv);
        return f;
    }
    const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - fit.level) / 2);
    return makeFigure(fit.dist, QString(), q, fit.theta, fit.covariance, z, nullptr);
}

void checkOptions(const LifeOptions &o)
{
    if (!(o.level > 0 && o.level < 1))
        throw UserError(txt::badLevel.arg(numText(o.level)));
    for (double p : o.bPercents)
        if (!(p > 0 && p < 100))
            throw UserError(txt::badPercent.arg(numText(p)));
    for (double t : o.times)
        if (!(t > 0) || !std::isfinite(t))
            throw UserError(txt::badTime.arg(numText(t)));
}

LifeFit fitLife(const LifeData &data, const LifeOptions &o)
{
    checkOptions(o);
    const Prepared p = prepare(data);
    const Dist d = o.dist;
    if (p.tally.failures + p.tally.intervals <= 0)
        throw UserError(txt::noFailures);
    if (positiveSupport(d) && p.zeroFailureLine != 0)
        throw UserError(txt::zeroFailure.arg(p.zeroFailureLine).arg(distName(d)));

    LifeFit fit;
    fit.dist = d;
    fit.estimator = o.estimator;
    fit.level = o.level;
    fit.tally = p.tally;

    // Progress: the fit, then each figure with its bounds.
    const int steps = 1 + paramCount(d) + int(o.bPercents.size() + o.times.size());
    int done = 0;
    auto stepDone = [&] {
        ++done;
        if (o.progress)
            o.progress(done, steps);
    };
    checkStop(o.stop);

    MlResult ml;
    const bool mle = o.estimator == Estimator::MLE;
    if (mle) {
        switch (d) {
        case Dist::Weibull3:
            ml = mlWeibull3(p, o.stop);
            break;
        case Dist::Gamma:
            ml = mlGamma(p, o.stop);
            break;
        default:
            ml = mlLocationScale(p, d, o.stop);
            break;
        }
    } else {
        double rho = 0;
        ml = rankRegression(data, p, d, o.estimator, rho);
        fit.rho = rho;
        ml.value = logLikelihood(d, p, ml.theta);
        // The observed information of the likelihood at the regression estimates.
        const int k = int(ml.theta.size());
        Objective f = numericObjective(
            [&](const Vec &x) {
                return logLikelihood(d, p, std::vector<double>(x.data(), x.data() + k));
            },
            Vec::Constant(k, 1e-5));
        Vec g;
        Vec x = Eigen::Map<const Vec>(ml.theta.data(), k);
        f(x, &g, &ml.hessian);
    }
    if (mle && ml.hessian.rows() > 1 && ml.limit.isEmpty()) {
        // A ridge of equal likelihood (the parameters not determined separately) shows as
        // an information matrix that is singular once scaled to unit diagonal.
        const Mat info = -ml.hessian;
        const Vec dg = info.diagonal();
        if ((dg.array() > 0).all()) {
            const Vec is = dg.array().sqrt().inverse();
            const Mat corr = is.asDiagonal() * info * is.asDiagonal();
            Eigen::SelfAdjointEigenSolver<Mat> es(corr);
            if (es.info() == Eigen::Success && es.eigenvalues().minCoeff() < 1e-9)
                throw UserError(txt::notIdentified.arg(distName(d)));
        }
    }
    fit.theta = ml.theta;
    fit.loglik = ml.value;
    const int k = paramCount(d);
    const double n = p.tally.total();
    fit.aic = 2 * k - 2 * fit.loglik;
    if (n - k - 1 > 0)
        fit.aicc = fit.aic + 2.0 * k * (k + 1) / (n - k - 1);
    fit.bic = k * std::log(n) - 2 * fit.loglik;
    stepDone();

    if (!ml.limit.isEmpty()) {
        // No maximum: the parameters at the edge are shown as such, nothing is derived.
        fit.limit = true;
        fit.limitMessage = ml.limit;
        const auto specs = paramSpecs(d);
        for (int i = 0; i < int(specs.size()); ++i) {
            Quantity q;
            q.kind = Quantity::Param;
            q.param = i;
            Figure f;
            f.key = specs[i].key;
            f.value = naturalValue(q, workValue(d, q, fit.theta), d);
            f.atLimit = specs[i].key == u"gamma";
            f.undetermined = !f.atLimit;
            fit.params.push_back(f);
        }
        if (o.progress)
            o.progress(steps, steps);
        return fit;
    }
    // One failure time leaves the spread of a law with two or more parameters to the
    // suspensions alone: its figures are shown, flagged as not determined by the data.
    fit.undetermined = k >= 2 && p.distinctFailureTimes < 2;
    for (size_t i = 0; i < p.ia.size() && d == Dist::Normal; ++i)
        fit.zeroStartIntervals = fit.zeroStartIntervals || p.ia[i] <= 0;

    Mat info = -ml.hessian;
    Eigen::LLT<Mat> llt(info);
    if (info.size() > 0 && llt.info() == Eigen::Success && info.allFinite()) {
        fit.covariance = llt.solve(Mat::Identity(k, k));
        if (!fit.covariance.allFinite())
            fit.covariance = Mat();
    }
    if (fit.covariance.size() == 0)
        fit.notes.push_back(QStringLiteral(
            "Матрица информации Фишера вырождена: границы по Фишеру не вычисляются"));

    const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - o.level) / 2);
    const double chi2 = boost::math::quantile(boost::math::chi_squared(1), o.level);
    Bounder b{d, p, fit.theta, fit.loglik, chi2, {}, false, o.stop};
    if (d == Dist::Exponential)
        makeLs(p, Family::SEV, true, 0, b.ls);
    if (isLs(d) && d != Dist::Exponential) {
        makeLs(p, familyOf(d), logTimeOf(d), 0, b.ls);
        b.useLs = true;
    }
    Bounder *lr = mle && o.lrBounds ? &b : nullptr;

    const auto specs = paramSpecs(d);
    for (int i = 0; i < int(specs.size()); ++i) {
        Quantity q;
        q.kind = Quantity::Param;
        q.param = i;
        fit.params.push_back(makeFigure(d, specs[i].key, q, fit.theta, fit.covariance, z, lr));
        stepDone();
    }
    for (double pc : o.bPercents) {
        Quantity q;
        q.kind = Quantity::BLife;
        q.p = pc / 100;
        q.logWork = quantile(d, fit.theta, q.p) > 0;
        fit.bLives.push_back(
            makeFigure(d, QString::number(pc, 'g', 10), q, fit.theta, fit.covariance, z, lr));
        stepDone();
    }
    for (double t : o.times) {
        Quantity q;
        q.kind = Quantity::Reliability;
        q.t = t;
        const double lrv = logSurvival(d, fit.theta, t);
        if (!(lrv < 0) || !std::isfinite(lrv)) {
            Figure f;
            f.key = QString::number(t, 'g', 10);
            f.value = std::exp(lrv);
            fit.reliability.push_back(f);
            stepDone();
            continue;
        }
        fit.reliability.push_back(
            makeFigure(d, QString::number(t, 'g', 10), q, fit.theta, fit.covariance, z, lr));
        stepDone();
    }
    if (fit.undetermined) {
        for (auto *list : {&fit.params, &fit.bLives, &fit.reliability})
            for (Figure &x : *list)
                x.undetermined = true;
    }
    return fit;
}

LifeAll fitAllLife(const LifeData &data, const LifeOptions &o)
{
    checkOptions(o);
    LifeAll all;
    LifeOptions quick = o;
    quick.lrBounds = false;
    quick.bPercents.clear();
    quick.times.clear();
    quick.progress = nullptr;
    // Progress: each law's fit, then the recommended one with all its bounds.
    const int laws = int(allDists().size());
    const int fullSteps = 1 + 3 + int(o.bPercents.size() + o.times.size());
    int done = 0;
    for (Dist d : allDists()) {
        RankEntry e;
        e.dist = d;
        quick.dist = d;
        quick.estimator = o.estimator;
        if (o.estimator != Estimator::MLE && !isLs(d))
            quick.estimator = Estimator::MLE;
        try {
            e.fit = fitLife(data, quick);
        } catch (const UserError &err) {
            e.error = err.message();
        }
        all.ranking.push_back(std::move(e));
        if (o.progress)
            o.progress(++done, laws + fullSteps);
    }
    auto group = [](const RankEntry &e) { return !e.fit ? 2 : e.fit->sound() ? 0 : 1; };
    std::stable_sort(
        all.ranking.begin(), all.ranking.end(), [&](const RankEntry &a, const RankEntry &b) {
            if (group(a) != group(b))
                return group(a) < group(b);
            if (!a.fit)
                return false;
            const double ka = a.fit->aicc.value_or(kInf), kb = b.fit->aicc.value_or(kInf);
            if (ka != kb)
                return ka < kb;
            return a.fit->bic < b.fit->bic;
        });
    if (all.ranking.empty() || !all.ranking.front().fit)
        throw UserError(all.ranking.empty() ? txt::noFailures : all.ranking.front().error);
    // Only a sound fit is recommended; "best" only when there was something to compare.
    int sound = 0;
    for (const RankEntry &e : all.ranking)
        sound += group(e) == 0;
    RankEntry &first = all.ranking.front();
    all.recommended = group(first) == 0;
    if (all.recommended) {
        first.best = sound >= 2;
        first.only = sound == 1;
    }
    LifeOptions full = o;
    full.dist = first.dist;
    full.estimator = first.fit->estimator;
    full.progress = [&](int step, int) {
        if (o.progress)
            o.progress(laws + std::min(step, fullSteps), laws + fullSteps);
    };
    all.best = fitLife(data, full);
    if (o.progress)
        o.progress(laws + fullSteps, laws + fullSteps);
    return all;
}

}   // namespace obr::life
