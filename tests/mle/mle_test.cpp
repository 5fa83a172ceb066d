// SPDX-License-Identifier: MIT
// Tests of the maximum-likelihood fit. The likelihood is checked against a straight
// transcription kept here: l = Σ ln(N'·K·f(t_i)·S_W(t_i)) − N'·K·I, one term per failure,
// with I integrated by Boost's own adaptive Gauss–Kronrod in long double.
#include "io/loaders.h"
#include "mle/likelihood.h"
#include "mle/mle.h"
#include "mle/optimize.h"
#include "mle/simulate.h"
#include "model/errors.h"
#include "stats/stat2018.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/tools/minima.hpp>

#include <gtest/gtest.h>

#include <QJsonArray>
#include <cmath>
#include <array>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <random>

using namespace obr;
using namespace obr::mle;

namespace {

// ---- the straight transcription ----------------------------------------------------------

long double Fw(long double A, long double B, long double w)
{
    return w > 0 ? -std::expm1(-A * std::pow(w, B)) : 0.0L;
}

long double normalPdf(long double w, long double mu, long double sigma)
{
    const long double z = (w - mu) / sigma;
    return std::exp(-0.5L * z * z) / (sigma * std::sqrt(2 * 3.14159265358979323846264L));
}

//! I = ∫ F(w) φ(w) dw over Sred ± 20 SKO, in long double panels of half a deviation.
long double refI(long double A, long double B, long double mu, long double sigma)
{
    using boost::math::quadrature::gauss_kronrod;
    const long double lo = std::max(0.0L, mu - 20 * sigma), hi = mu + 20 * sigma;
    const int panels = int(std::ceil((hi - lo) / (0.5L * sigma)));
    long double sum = 0;
    for (int i = 0; i < panels; ++i) {
        const long double a = lo + (hi - lo) * i / panels, b = lo + (hi - lo) * (i + 1) / panels;
        auto f = [&](long double w) { return Fw(A, B, w) * normalPdf(w, mu, sigma); };
        // The panel at 0 h has the singular derivative of w^B: tanh-sinh handles it.
        sum += a == 0 ? boost::math::quadrature::tanh_sinh<long double>().integrate(f, a, b, 1e-18L)
                      : gauss_kronrod<long double, 61>::integrate(f, a, b, 12, 1e-17L);
    }
    return sum;
}

//! I in double precision for the likelihood (Boost's adaptive Gauss–Kronrod, 1σ panels).
double refId(double A, double B, double mu, double sigma)
{
    using boost::math::quadrature::gauss_kronrod;
    const double lo = std::max(0.0, mu - 12 * sigma), hi = mu + 12 * sigma;
    const int panels = int(std::ceil((hi - lo) / sigma));
    double sum = 0;
    for (int i = 0; i < panels; ++i) {
        const double a = lo + (hi - lo) * i / panels, b = lo + (hi - lo) * (i + 1) / panels;
        auto f = [&](double w) { return double(Fw(A, B, w) * normalPdf(w, mu, sigma)); };
        sum += a == 0 ? boost::math::quadrature::tanh_sinh<double>().integrate(f, a, b, 1e-14)
                      : gauss_kronrod<double, 31>::integrate(f, a, b, 8, 1e-14);
    }
    return sum;
}

double logSurvival(double t, double mu, double sigma)
{
    return std::log(0.5 * boost::math::erfc((t - mu) / (sigma * std::sqrt(2.0))));
}

//! l(ln A, ln B, ln K) for individual times under the normal law.
double straightL(const std::vector<double> &t, double N, double mu, double sigma, double a,
                 double b, double k)
{
    const double A = std::exp(a), B = std::exp(b), K = std::exp(k);
    double l = 0;
    for (double ti : t) {
        const double f = A * B * std::pow(ti, B - 1) * std::exp(-A * std::pow(ti, B));
        l += std::log(N * K * f) + logSurvival(ti, mu, sigma);
    }
    return l - N * K * refId(A, B, mu, sigma);
}

MleInput inputFor(const std::vector<double> &t, double N, double mu, double sigma)
{
    MleInput in;
    for (double x : t)
        in.failures.push_back({x, 0});
    in.Izd_Prived = N;
    in.fleet = N;
    in.Sred = mu;
    in.SKO = sigma;
    in.tGar = mu;
    return in;
}

//! A determined fleet: B = 1.4, η = 900 h, K = 1.3, 600 products, warranty 1000 ± 250 h.
struct Fleet {
    SimParams p;
    std::vector<double> t;
    Fleet()
    {
        p.B = 1.4;
        p.A = std::pow(900.0, -p.B);
        p.K = 1.3;
        p.Nprived = 600;
        p.seed = 7;
        t = simulateFailures(p);
    }
};

const Fleet &fleet()
{
    static const Fleet f;
    return f;
}

const MleResult &fleetFit()
{
    static const MleResult r = [] {
        const Fleet &f = fleet();
        return fitMle(inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO));
    }();
    return r;
}

}   // namespace

// ---- I = E[F(W)] ---------------------------------------------------------------------------

TEST(MleIntegral, MatchesLongDoubleReferenceToTwelveDigits)
{
    struct Case {
        double A, B, mu, sigma;
        const char *what;
    };
    const Case cases[] = {
        {std::pow(900.0, -1.4), 1.4, 1000, 250, "determined fleet"},
        {std::pow(5000.0, -0.7), 0.7, 1000, 250, "early failures"},
        {2.6e-7, 1.5, 1000, 250, "ridge: F small over the warranty"},
        {std::pow(800.0, -12.0), 12, 1000, 100, "steep wear-out"},
        {std::pow(300.0, -0.05), 0.05, 200, 150,
         "the law reaches below zero, B at its range's end"},
        {std::pow(50.0, -3.0), 3, 1000, 250, "F close to 1 everywhere"},
    };
    for (const Case &c : cases) {
        detail::Law law;
        law.mu = c.mu;
        law.sigma = c.sigma;
        const double I = detail::integralI(std::log(c.A), std::log(c.B), law, false).I;
        const long double ref = refI(c.A, c.B, c.mu, c.sigma);
        EXPECT_LT(std::fabs((I - ref) / ref), 1e-12L) << c.what;
    }
}

namespace {

/*! ∫ g_j(w)·φ(w) dw and ∫ |g_j(w)|·φ(w) dw over Sred ± 20 SKO in long double, for F and
 *  its derivatives F_a, F_b, F_aa in ln A, ln B: 20-point Gauss–Legendre panels of a
 *  quarter deviation, cut more finely where A·w^B passes from 1e-4 to 1e3 (where F and its
 *  derivatives change) and halving towards 0 h. */
struct Moments {
    std::array<long double, 4> sum{}, abs{};
};
Moments refMoments(long double mu, long double sigma, long double eta, long double B)
{
    using boost::math::quadrature::gauss;
    const long double A = std::pow(eta, -B);
    const long double lo = std::max(0.0L, mu - 20 * sigma), hi = mu + 20 * sigma;
    std::vector<long double> cuts;
    if (lo == 0) {
        const long double first = std::min(0.5L * sigma, hi);
        for (int k = 60; k > 0; --k)
            cuts.push_back(first * std::ldexp(1.0L, -k));
    }
    const int panels = int(std::ceil((hi - lo) / (0.25L * sigma)));
    for (int i = 0; i <= panels; ++i)
        cuts.push_back(lo + (hi - lo) * i / panels);
    for (int k = -16; k <= 12; ++k) {
        const long double w = eta * std::pow(10.0L, k / (4 * B));
        if (w > lo && w < hi)
            cuts.push_back(w);
    }
    std::sort(cuts.begin(), cuts.end());
    const auto &x = gauss<long double, 20>::abscissa();
    const auto &wg = gauss<long double, 20>::weights();
    Moments m;
    long double prev = lo;
    for (long double c : cuts) {
        if (!(c > prev))
            continue;
        const long double mid = 0.5L * (prev + c), h = 0.5L * (c - prev);
        for (size_t i = 0; i < x.size(); ++i)
            for (long double sgn : {-1.0L, 1.0L}) {
                const long double w = mid + sgn * h * x[i];
                const long double u = A * std::pow(w, B), e = std::exp(-u), bl = B * std::log(w);
                const long double g[4] = {-std::expm1(-u), u * e, u * e * bl, (u - u * u) * e};
                const long double wt = normalPdf(w, mu, sigma) * wg[i] * h;
                for (int j = 0; j < 4; ++j) {
                    m.sum[size_t(j)] += g[j] * wt;
                    m.abs[size_t(j)] += std::fabs(g[j] * wt);
                }
            }
        prev = c;
    }
    return m;
}

}   // namespace

TEST(MleIntegral, AccurateWhereTheLawIsNarrowWideOrFarFromTheFailures)
{
    // I and its derivatives in ln A, ln B against long-double integrals of the same
    // integrands, over shapes, scales (η far below, inside and far beyond the law) and
    // deviations from a millionth of the mean to the mean itself.
    int cases = 0;
    for (double mu : {1.0, 1e6})
        for (double rs : {1e-6, 1e-3, 0.05, 0.25, 1.0})
            for (double B : {0.05, 0.5, 1.0, 2.5, 4.0, 8.0, 20.0})
                for (double re : {1e-3, 0.3, 0.9, 1.0, 1.1, 3.0, 1e3}) {
                    const long double sg = mu * rs, eta = mu * re;
                    const long double A = std::pow(eta, -(long double)B);
                    detail::Law law;
                    law.mu = mu;
                    law.sigma = double(sg);
                    const detail::IStuff s =
                        detail::integralI(double(std::log(A)), std::log(B), law, false);
                    const double got[] = {s.I, s.g[detail::PA], s.g[detail::PB],
                                          s.H(detail::PA, detail::PA)};
                    const Moments m = refMoments(mu, sg, eta, B);
                    const long double I = m.sum[0];
                    for (int j = 0; j < 4; ++j) {
                        const long double ref = m.sum[size_t(j)];
                        // A derivative far below I's own rounding cannot change any figure
                        // of the fit: it is held to 1e-15 of I there. ln A itself carries a
                        // rounding of 1.1e-16·|ln A|, which the derivatives inherit.
                        const long double scale =
                            j == 0 ? std::fabs(ref) : std::max(m.abs[size_t(j)], 1e-3L * I);
                        const long double tol =
                            1e-12L * scale + 2.3e-16L * std::fabs(std::log(A)) * I;
                        EXPECT_LT(std::fabs(got[j] - ref), tol)
                            << "component " << j << " mu " << mu << " SKO/mu " << rs << " B " << B
                            << " eta/mu " << re << ": " << got[j] << " vs " << double(ref);
                    }
                    ++cases;
                }
    EXPECT_EQ(cases, 2 * 5 * 7 * 7);
}

TEST(MleIntegral, DerivativesMatchDifferences)
{
    detail::Law law;
    law.mu = 1000;
    law.sigma = 250;
    const detail::Vec x0 =
        (detail::Vec() << std::log(2e-4), std::log(1.2), 0, 1000, std::log(250.0)).finished();
    auto I = [&](const detail::Vec &x) {
        detail::Law l = law;
        l.mu = x[3];
        l.sigma = std::exp(x[4]);
        return detail::integralI(x[0], x[1], l, true);
    };
    const detail::IStuff s = I(x0);
    const int idx[] = {0, 1, 3, 4};
    for (int i : idx) {
        const double h = i == 3 ? 1e-2 : 1e-5;
        detail::Vec xp = x0, xm = x0;
        xp[i] += h;
        xm[i] -= h;
        const detail::IStuff p = I(xp), m = I(xm);
        EXPECT_NEAR(s.g[i], (p.I - m.I) / (2 * h), 1e-6 * std::fabs(s.I) / (i == 3 ? 250 : 1))
            << "gradient " << i;
        for (int j : idx)
            EXPECT_NEAR(s.H(i, j), (p.g[j] - m.g[j]) / (2 * h),
                        2e-6 * std::fabs(s.I) / (i == 3 ? 250 : 1) / (j == 3 ? 250 : 1))
                << "Hessian " << i << "," << j;
    }
}

TEST(MleIntegral, EmpiricalLawIsTheMeanOfF)
{
    const std::vector<double> w = {400, 900, 900, 1200, -5, 0, 1500};
    const detail::Law law = detail::Law::fromTimes(w);
    const double A = 1e-3, B = 1.1;
    double mean = 0;
    for (double x : w)
        mean += double(Fw(A, B, x));
    mean /= double(w.size());
    EXPECT_NEAR(detail::integralI(std::log(A), std::log(B), law, false).I, mean, 1e-15);
    EXPECT_DOUBLE_EQ(law.survival(900), 2.0 / 7);
    EXPECT_DOUBLE_EQ(law.survival(899.9), 4.0 / 7);
    EXPECT_DOUBLE_EQ(law.survival(1500), 0);
    // J(∞) = I, J is E[F(min(W, τ))].
    EXPECT_NEAR(detail::integralJ(A, B, law, 1e9), mean, 1e-15);
}

TEST(MleIntegral, JReachesIAndIsMonotone)
{
    detail::Law law;
    law.mu = 1000;
    law.sigma = 250;
    const double A = std::pow(900.0, -1.4), B = 1.4;
    const double I = detail::integralI(std::log(A), std::log(B), law, false).I;
    double prev = 0;
    for (double tau : {100.0, 500.0, 1000.0, 1500.0, 2000.0}) {
        const double J = detail::integralJ(A, B, law, tau);
        EXPECT_GT(J, prev);
        prev = J;
    }
    EXPECT_NEAR(detail::integralJ(A, B, law, 1e6), I, 1e-14);
}

// ---- the point estimate -------------------------------------------------------------------

TEST(MleFit, ScoreIsZeroAndKTimesIIsNOverN)
{
    const Fleet &f = fleet();
    const MleResult &r = fleetFit();
    ASSERT_GT(r.n, 200);
    EXPECT_FALSE(r.ridge);
    EXPECT_NEAR(r.K * r.I * f.p.Nprived / r.n, 1.0, 1e-12);
    EXPECT_LT(r.gradientNorm, 1e-6);
    // The score of the straight transcription at the fitted point, by central differences.
    const double a = std::log(r.A), b = std::log(r.B), k = std::log(r.K);
    const double h = 1e-5;
    auto l = [&](double da, double db, double dk) {
        return straightL(f.t, f.p.Nprived, f.p.Sred, f.p.SKO, a + da, b + db, k + dk);
    };
    EXPECT_NEAR((l(h, 0, 0) - l(-h, 0, 0)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(0, h, 0) - l(0, -h, 0)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(0, 0, h) - l(0, 0, -h)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR(r.loglik, l(0, 0, 0), 1e-8 * std::fabs(r.loglik));
    EXPECT_NEAR(r.AIC, 6 - 2 * r.loglik, 1e-9);
    EXPECT_NEAR(r.BIC, 3 * std::log(double(r.n)) - 2 * r.loglik, 1e-9);
}

TEST(MleFit, OrderAndRepeatsOfTheTimesDoNotMatter)
{
    // Equal times combined with their counts give the fit of the individual lines.
    std::vector<double> t = fleet().t;
    for (double &x : t)
        x = std::round(x);   // many repeats
    std::vector<double> rev(t.rbegin(), t.rend());
    const MleResult r1 = fitMle(inputFor(t, 600, 1000, 250));
    const MleResult r2 = fitMle(inputFor(rev, 600, 1000, 250));
    EXPECT_EQ(r1.A, r2.A);
    EXPECT_EQ(r1.B, r2.B);
    EXPECT_EQ(r1.K, r2.K);
    EXPECT_NEAR(r1.loglik,
                straightL(t, 600, 1000, 250, std::log(r1.A), std::log(r1.B), std::log(r1.K)),
                1e-8 * std::fabs(r1.loglik));
}

TEST(MleFit, FisherCovarianceMatchesDifferenceHessian)
{
    const Fleet &f = fleet();
    const MleResult &r = fleetFit();
    ASSERT_EQ(r.covariance.size(), 9u);
    const double x[3] = {std::log(r.A), std::log(r.B), std::log(r.K)};
    const double h = 1e-4;
    auto l = [&](const double *d) {
        return straightL(f.t, f.p.Nprived, f.p.Sred, f.p.SKO, x[0] + d[0], x[1] + d[1],
                         x[2] + d[2]);
    };
    Eigen::Matrix3d H;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double pp[3] = {0, 0, 0}, pm[3] = {0, 0, 0}, mp[3] = {0, 0, 0}, mm[3] = {0, 0, 0};
            pp[i] += h;
            pp[j] += h;
            pm[i] += h;
            pm[j] -= h;
            mp[i] -= h;
            mp[j] += h;
            mm[i] -= h;
            mm[j] -= h;
            H(i, j) = (l(pp) - l(pm) - l(mp) + l(mm)) / (4 * h * h);
        }
    const Eigen::Matrix3d cov = (-H).inverse();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(r.covariance[size_t(i * 3 + j)], cov(i, j),
                        1e-4 * std::sqrt(cov(i, i) * cov(j, j)))
                << i << "," << j;
    // Wald bounds on ln B.
    const Figure *B = r.figure(QStringLiteral("B"));
    ASSERT_TRUE(B && B->fisher.low && B->fisher.high);
    EXPECT_NEAR(std::log(*B->fisher.high) - std::log(r.B), 1.959963984540054 * std::sqrt(cov(1, 1)),
                1e-4 * std::sqrt(cov(1, 1)));
}

// ---- likelihood-ratio bounds ----------------------------------------------------------------

namespace {

//! max over x in [lo, hi] of f, by Brent's method on a bracket found by a coarse scan.
template <class F>
double maxBrent(F f, double lo, double hi, double &arg)
{
    const int n = 8;
    double best = -INFINITY, bx = lo;
    for (int i = 0; i <= n; ++i) {
        const double x = lo + (hi - lo) * i / n, v = f(x);
        if (v > best) {
            best = v;
            bx = x;
        }
    }
    const double w = (hi - lo) / n;
    const auto res = boost::math::tools::brent_find_minima(
        [&](double x) { return -f(x); }, std::max(lo, bx - w), std::min(hi, bx + w), 40);
    arg = res.first;
    return -res.second;
}

}   // namespace

TEST(MleLr, DevianceAtEachBoundIsTheChiSquareQuantile)
{
    const Fleet &f = fleet();
    const MleResult &r = fleetFit();
    const double q = 3.841458820694124;   // chi-square(1) quantile at 0.95
    const double N = f.p.Nprived, mu = f.p.Sred, sg = f.p.SKO, n = double(r.n);
    const double bH = std::log(r.B), kH = std::log(r.K);
    const double eH = -std::log(r.A) / r.B;   // ln η
    auto L = [&](double a, double b, double k) { return straightL(f.t, N, mu, sg, a, b, k); };
    // K in closed form for given (a, b).
    auto Lk = [&](double a, double b) {
        const double I = refId(std::exp(a), std::exp(b), mu, sg);
        return L(a, b, std::log(n / (N * I)));
    };
    const double lHat = r.loglik;

    // B: ln B held, ln A free, K in closed form.
    const Figure *B = r.figure(QStringLiteral("B"));
    ASSERT_TRUE(B->lr.low && B->lr.high);
    for (double bound : {*B->lr.low, *B->lr.high}) {
        double arg;
        const double lp = maxBrent([&](double le) { return Lk(-bound * le, std::log(bound)); },
                                   eH - 1, eH + 1, arg);
        EXPECT_NEAR(2 * (lHat - lp), q, 1e-6) << "B " << bound;
    }
    // K: ln K held, ln A and ln B free (nested).
    const Figure *K = r.figure(QStringLiteral("K"));
    ASSERT_TRUE(K->lr.low && K->lr.high);
    for (double bound : {*K->lr.low, *K->lr.high}) {
        double argb;
        const double lp = maxBrent(
            [&](double b) {
                double arga;
                return maxBrent([&](double le) { return L(-std::exp(b) * le, b, std::log(bound)); },
                                eH - 1, eH + 1, arga);
            },
            bH - 0.7, bH + 0.7, argb);
        EXPECT_NEAR(2 * (lHat - lp), q, 1e-6) << "K " << bound;
    }
    // The 0.1-time t: ln A = ln(−ln(1 − 0.1/K)) − B·ln t, ln B and ln K free.
    const Figure *t1 = r.figure(QStringLiteral("t_0.1"));
    ASSERT_TRUE(t1->lr.low && t1->lr.high);
    for (double bound : {*t1->lr.low, *t1->lr.high}) {
        double argb;
        const double lp = maxBrent(
            [&](double b) {
                double argk;
                return maxBrent(
                    [&](double k) {
                        const double a = std::log(-std::log1p(-0.1 * std::exp(-k))) -
                                         std::exp(b) * std::log(bound);
                        return L(a, b, k);
                    },
                    kH - 1.5, kH + 1.5, argk);
            },
            bH - 0.7, bH + 0.7, argb);
        EXPECT_NEAR(2 * (lHat - lp), q, 1e-6) << "t_0.1 " << bound;
    }
    // K·I: the profile is Poisson in N'·K·I (the rest of l does not depend on it).
    const Figure *m = r.figure(QStringLiteral("per_product"));
    ASSERT_TRUE(m->lr.low && m->lr.high);
    for (double bound : {*m->lr.low, *m->lr.high}) {
        const double mu_ = N * bound;
        EXPECT_NEAR(2 * (n * std::log(n / mu_) - (n - mu_)), q, 1e-6);
    }
    // Every figure has both bounds around its estimate, and the two kinds are close here.
    for (const Figure &fig : r.figures) {
        ASSERT_TRUE(fig.estimate && fig.lr.low && fig.lr.high && fig.fisher.low && fig.fisher.high)
            << fig.key.toStdString();
        EXPECT_LT(*fig.lr.low, *fig.estimate) << fig.key.toStdString();
        EXPECT_GT(*fig.lr.high, *fig.estimate) << fig.key.toStdString();
        EXPECT_NEAR(std::log(*fig.lr.high / *fig.lr.low),
                    std::log(*fig.fisher.high / *fig.fisher.low),
                    0.25 * std::log(*fig.fisher.high / *fig.fisher.low))
            << fig.key.toStdString();
    }
    const Figure *fc = r.figure(QStringLiteral("fleet_claims"));
    EXPECT_DOUBLE_EQ(*fc->estimate, *m->estimate * 600);
}

TEST(MleLr, LevelChangesTheQuantile)
{
    const Fleet &f = fleet();
    MleInput in = inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO);
    in.level = 0.8;
    const MleResult r = fitMle(in);
    const double q = boost::math::quantile(boost::math::chi_squared(1), 0.8);
    const Figure *m = r.figure(QStringLiteral("per_product"));
    const double n = r.n;
    for (double bound : {*m->lr.low, *m->lr.high}) {
        const double mu_ = f.p.Nprived * bound;
        EXPECT_NEAR(2 * (n * std::log(n / mu_) - (n - mu_)), q, 1e-6);
    }
    EXPECT_GT(*m->lr.low, *fleetFit().figure(QStringLiteral("per_product"))->lr.low);
}

// ---- the pointwise band of M(t) = K·F(t) ---------------------------------------------------

TEST(MleBand, TimesAreEvenInLogTime)
{
    const std::vector<double> t = bandTimes(12.5, 3200, 40);
    ASSERT_EQ(t.size(), 40u);
    EXPECT_NEAR(t.front(), 12.5, 1e-12);
    EXPECT_NEAR(t.back(), 3200, 1e-9);
    for (size_t j = 1; j < t.size(); ++j)
        EXPECT_NEAR(std::log(t[j] / t[j - 1]), std::log(3200 / 12.5) / 39, 1e-12);
    // A single time: one unit of ln t apart, never a division by zero.
    const std::vector<double> one = bandTimes(50, 50, 3);
    ASSERT_EQ(one.size(), 3u);
    EXPECT_NEAR(one[1], 50 * std::exp(1.0), 1e-9);
    EXPECT_TRUE(bandTimes(0, 100).empty());
}

TEST(MleBand, EachBoundIsTheProfileOfTheCumulativeCurve)
{
    const Fleet &f = fleet();
    const MleResult &r = fleetFit();
    const MleInput in = inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO);
    const std::vector<BandPoint> band = cumulativeBand(in, r, {150, in.tGar, 2500});
    ASSERT_EQ(band.size(), 3u);
    // At tGar the band is the figure M_tGar of the bounds table, both kinds.
    const Figure *m = r.figure(QStringLiteral("M_tGar"));
    const BandPoint &g = band[1];
    ASSERT_TRUE(g.estimate && g.lr.low && g.lr.high && g.fisher.low && g.fisher.high);
    EXPECT_NEAR(*g.estimate, *m->estimate, 1e-12 * *m->estimate);
    EXPECT_NEAR(*g.fisher.low, *m->fisher.low, 1e-9 * *m->estimate);
    EXPECT_NEAR(*g.fisher.high, *m->fisher.high, 1e-9 * *m->estimate);
    EXPECT_NEAR(*g.lr.low, *m->lr.low, 1e-7 * *m->estimate);
    EXPECT_NEAR(*g.lr.high, *m->lr.high, 1e-7 * *m->estimate);

    // Early and late in the data: the deviance of the straight transcription, maximised over
    // B and K with ln A = ln(−ln(1 − M/K)) − B·ln t, is the chi-square quantile at each bound.
    const double q = 3.841458820694124;   // chi-square(1) quantile at 0.95
    const double N = f.p.Nprived, mu = f.p.Sred, sg = f.p.SKO;
    const double bH = std::log(r.B), kH = std::log(r.K);
    for (const BandPoint &p : {band[0], band[2]}) {
        ASSERT_TRUE(p.estimate && p.lr.low && p.lr.high) << p.t;
        EXPECT_NEAR(*p.estimate, r.K * weibCDF(r.A, r.B, p.t), 1e-12 * *p.estimate);
        EXPECT_LT(*p.lr.low, *p.estimate);
        EXPECT_GT(*p.lr.high, *p.estimate);
        for (double bound : {*p.lr.low, *p.lr.high}) {
            double argb;
            const double lp = maxBrent(
                [&](double b) {
                    double argk;
                    const double kLo = std::max(kH - 1.5, std::log(bound) + 1e-9);
                    return maxBrent(
                        [&](double k) {
                            const double a = std::log(-std::log1p(-bound * std::exp(-k))) -
                                             std::exp(b) * std::log(p.t);
                            return straightL(f.t, N, mu, sg, a, b, k);
                        },
                        kLo, std::max(kH + 1.5, kLo + 1), argk);
                },
                bH - 0.7, bH + 0.7, argb);
            EXPECT_NEAR(2 * (r.loglik - lp), q, 1e-6) << "t " << p.t << " bound " << bound;
        }
        // The two kinds agree roughly where the fleet determines the curve well.
        EXPECT_NEAR(std::log(*p.lr.high / *p.lr.low), std::log(*p.fisher.high / *p.fisher.low),
                    0.25 * std::log(*p.fisher.high / *p.fisher.low))
            << p.t;
    }
    // Without likelihood-ratio bounds only the Fisher band is computed.
    MleInput fisherOnly = in;
    fisherOnly.lrBounds = false;
    const std::vector<BandPoint> quick = cumulativeBand(fisherOnly, r, {in.tGar});
    ASSERT_EQ(quick.size(), 1u);
    EXPECT_FALSE(quick[0].lr.low || quick[0].lr.high);
    EXPECT_EQ(quick[0].fisher.low, g.fisher.low);
}

TEST(MleBand, OnARidgeTheCurveIsDeterminedWithinTheData)
{
    // F(Sred + 2·SKO) = 0.015: K is not determined, yet M(t) = K·F(t) ≈ K·A·t^B is, over the
    // times of the data. Far beyond them M(t) approaches K, bounded only by K's range.
    SimParams p;
    p.B = 1.5;
    p.A = 0.0151 / std::pow(1500.0, 1.5);
    p.K = 2;
    p.Nprived = 20000;
    p.seed = 3;
    const std::vector<double> t = simulateFailures(p);
    const MleInput in = inputFor(t, p.Nprived, p.Sred, p.SKO);
    const MleResult r = fitMle(in);
    ASSERT_TRUE(r.ridge);
    const std::vector<BandPoint> band = cumulativeBand(in, r, {300, 1000, 1e6});
    ASSERT_EQ(band.size(), 3u);
    for (size_t i = 0; i < 2; ++i) {
        const BandPoint &b = band[i];
        ASSERT_TRUE(b.estimate && b.lr.low && b.lr.high) << b.t;
        // With K at its range's end the information determines no Fisher bounds.
        EXPECT_EQ(r.limit, !(b.fisher.low || b.fisher.high)) << b.t;
        EXPECT_LT(*b.lr.high / *b.lr.low, 1.6) << b.t;
        const double truth = p.K * weibCDF(p.A, p.B, b.t);
        EXPECT_LT(*b.lr.low, truth) << b.t;
        EXPECT_GT(*b.lr.high, truth) << b.t;
    }
    const BandPoint &late = band[2];
    ASSERT_TRUE(late.estimate);
    EXPECT_LE(late.lr.high.value_or(kKMax), kKMax * (1 + 1e-9));
    for (const BandPoint &b : band)
        for (const std::optional<double> &v : {b.lr.low, b.lr.high, b.fisher.low, b.fisher.high})
            if (v) {
                EXPECT_TRUE(std::isfinite(*v) && *v > 0) << b.t;
            }
}

TEST(MleBand, CancelFlagStopsTheBand)
{
    const Fleet &f = fleet();
    const std::atomic<bool> stop{true};
    EXPECT_THROW(
        cumulativeBand(inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO), fleetFit(), {500}, &stop),
        Cancelled);
}

// ---- identifiability ------------------------------------------------------------------------

TEST(MleRidge, SmallFOverTheWarrantyIsFlagged)
{
    // F(Sred + 2·SKO) = F(1500) = 0.015: only K·A and B are determined.
    SimParams p;
    p.B = 1.5;
    p.A = 0.0151 / std::pow(1500.0, 1.5);
    p.K = 2;
    p.Nprived = 20000;
    p.seed = 3;
    const std::vector<double> t = simulateFailures(p);
    ASSERT_LT(-std::expm1(-p.A * std::pow(1500.0, p.B)), 0.02);
    const MleResult r = fitMle(inputFor(t, p.Nprived, p.Sred, p.SKO));
    EXPECT_TRUE(r.ridge);
    EXPECT_FALSE(r.ridgeMessage.isEmpty());
    const Figure *K = r.figure(QStringLiteral("K"));
    EXPECT_FALSE(K->lr.high.has_value());
    // What stays determined: K·A, B, the 0.1-time, K·F(tGar), K·I.
    for (const char *key : {"KA", "B", "t_0.1", "M_tGar", "per_product"}) {
        const Figure *f = r.figure(QString::fromLatin1(key));
        ASSERT_TRUE(f->estimate && f->lr.low && f->lr.high) << key;
    }
    for (const char *key : {"B", "M_tGar", "per_product"}) {
        const Figure *f = r.figure(QString::fromLatin1(key));
        EXPECT_LT(*f->lr.high / *f->lr.low, 1.6) << key;
    }
    const double KA = p.K * p.A;
    const Figure *ka = r.figure(QStringLiteral("KA"));
    EXPECT_LT(*ka->lr.low, KA);
    EXPECT_GT(*ka->lr.high, KA);
}

// ---- refusals -------------------------------------------------------------------------------

TEST(MleRefusal, UndefinedLikelihoodsAndImpossibleBoxes)
{
    const std::vector<double> good = {100, 200, 300, 400, 500};
    struct Case {
        const char *what;
        std::function<void(MleInput &)> change;
        QString expected;
    };
    const Case cases[] = {
        {"negative failure",
         [](MleInput &in) {
             in.failures.push_back({-3, 0});
         },
         mtxt::failureNotPositive(mtxt::failureWho(0, 1), -3)},
        {"failure after every warranty ended (normal)",
         [](MleInput &in) {
             in.failures.push_back({5000, 0});
         },
         mtxt::warrantyEnded(mtxt::failureWho(0, 6), 5000)},
        {"failure after every warranty ended (empirical), named by its file line",
         [](MleInput &in) {
             in.law = WarrantyLaw::Empirical;
             in.warrantyTimes = {350, 600, 800};
             in.failures.push_back({900, 0, 17});
         },
         mtxt::warrantyEnded(mtxt::failureWho(17, 6), 900)},
        {"empirical law without a file", [](MleInput &in) { in.law = WarrantyLaw::Empirical; },
         mtxt::noWarrantyFile()},
        {"SKO 0", [](MleInput &in) { in.SKO = 0; }, mtxt::badSKO()},
        {"level 1", [](MleInput &in) { in.level = 1; }, mtxt::badLevel()},
        {"fleet 0", [](MleInput &in) { in.fleet = 0; }, mtxt::badFleet()},
        {"reduced fleet 0", [](MleInput &in) { in.Izd_Prived = 0; }, mtxt::badFleet()},
        {"tGar 0", [](MleInput &in) { in.tGar = 0; }, mtxt::badTGar()},
        {"no failures", [](MleInput &in) { in.failures.clear(); }, mtxt::noFailures()},
        {"one time",
         [](MleInput &in) {
             for (auto &f : in.failures)
                 f.time = 250;
         },
         mtxt::oneTime()},
    };
    for (const Case &c : cases) {
        MleInput in = inputFor(good, 100, 1000, 250);
        c.change(in);
        const MleInput before = in;
        try {
            fitMle(in);
            ADD_FAILURE() << c.what << ": no refusal";
        } catch (const UserError &e) {
            EXPECT_EQ(e.message(), c.expected) << c.what;
        }
        EXPECT_EQ(in.failures.size(), before.failures.size()) << c.what;
    }
    // The messages name the failure by its line in the file (by its number in time order
    // when it came from no file), with the locale's separator.
    EXPECT_TRUE(mtxt::warrantyEnded(mtxt::failureWho(0, 6), 5000).contains(QStringLiteral("№ 6")));
    MleInput in = inputFor({0.5, 0.0, 3}, 100, 1000, 250);
    in.failures[0].time = -0.5;
    in.failures[0].line = 12;
    in.dec = u',';
    try {
        fitMle(in);
        ADD_FAILURE() << "no refusal";
    } catch (const UserError &e) {
        EXPECT_TRUE(
            e.message().contains(QStringLiteral("отказ в строке 12 файла имеет наработку -0,5 ч")))
            << e.message().toStdString();
    }
}

TEST(MleRefusal, RefusedFitLeavesTheStateAsItWas)
{
    State s;
    s.MasProbl = {{-1.0, 0}, {10, 0}};
    s.Izd_Prived = 10;
    s.Kol_Izd_All = 10;
    s.Sred = 1000;
    s.SKO = 250;
    s.tGar = 1000;
    s.MMaxPr.A = 7;
    const MleInput in = inputFromState(s);
    EXPECT_THROW(
        {
            const MleResult r = fitMle(in);
            publishMaxPr(s, r, in);
        },
        UserError);
    EXPECT_EQ(s.MMaxPr.A, 7);
    EXPECT_FALSE(s.MMaxPr.Executed);
}

TEST(MleFit, EmpiricalLawScoreIsZero)
{
    // Warranty end times of 1500 products; S_W(t) is the share of them beyond t.
    std::mt19937_64 rng(5);
    std::normal_distribution<double> w(1000, 250);
    std::vector<double> ends(1500);
    for (double &x : ends)
        x = std::round(w(rng));
    const Fleet &f = fleet();
    MleInput in = inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO);
    in.law = WarrantyLaw::Empirical;
    in.warrantyTimes = ends;
    const MleResult r = fitMle(in);
    EXPECT_EQ(r.law, WarrantyLaw::Empirical);
    EXPECT_NEAR(r.K * r.I * f.p.Nprived / r.n, 1.0, 1e-12);
    auto l = [&](double a, double b, double k) {
        const double A = std::exp(a), B = std::exp(b), K = std::exp(k);
        double sum = 0, I = 0;
        for (double ti : f.t) {
            double above = 0;
            for (double e : ends)
                above += e > ti;
            const double fi = A * B * std::pow(ti, B - 1) * std::exp(-A * std::pow(ti, B));
            sum += std::log(f.p.Nprived * K * fi * above / double(ends.size()));
        }
        for (double e : ends)
            I += double(Fw(A, B, e));
        return sum - f.p.Nprived * K * I / double(ends.size());
    };
    const double a = std::log(r.A), b = std::log(r.B), k = std::log(r.K), h = 1e-5;
    EXPECT_NEAR(r.loglik, l(a, b, k), 1e-9 * std::fabs(r.loglik));
    EXPECT_NEAR((l(a + h, b, k) - l(a - h, b, k)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(a, b + h, k) - l(a, b - h, k)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(a, b, k + h) - l(a, b, k - h)) / (2 * h), 0, 1e-4);
}

TEST(MleFit, CancelFlagStopsTheFit)
{
    const Fleet &f = fleet();
    std::atomic<bool> stop{true};
    EXPECT_THROW(fitMle(inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO), &stop), Cancelled);
}

// ---- warranty parameters, causes, state and JSON ----------------------------------------

TEST(MleFit, FittedWarrantyMeanHasScoreZeroAndBounds)
{
    SimParams p;
    p.B = 1.2;
    p.A = std::pow(700.0, -p.B);
    p.K = 1;
    p.Nprived = 3000;
    p.Sred = 800;
    p.SKO = 200;
    p.seed = 11;
    const std::vector<double> t = simulateFailures(p);
    MleInput in = inputFor(t, p.Nprived, 1000, 250);   // the boxes are off
    in.fitSred = true;
    in.lrBounds = false;
    const MleResult r = fitMle(in);
    EXPECT_EQ(r.parameters, 4);
    EXPECT_LT(r.gradientNorm, 1e-5);
    const Figure *s = r.figure(QStringLiteral("Sred"));
    ASSERT_TRUE(s && s->estimate && s->fisher.low && s->fisher.high);
    EXPECT_NEAR(*s->estimate, r.Sred, 1e-9);
    EXPECT_NE(r.Sred, 1000);
    EXPECT_EQ(r.covariance.size(), 16u);
    // The straight transcription's score in the mean and in ln A, ln B, ln K.
    const double a = std::log(r.A), b = std::log(r.B), k = std::log(r.K), h = 1e-5;
    auto l = [&](double da, double db, double dk, double dmu) {
        return straightL(t, p.Nprived, r.Sred + dmu, 250, a + da, b + db, k + dk);
    };
    EXPECT_NEAR((l(0, 0, 0, 1e-3) - l(0, 0, 0, -1e-3)) / 2e-3, 0, 1e-6);
    EXPECT_NEAR((l(h, 0, 0, 0) - l(-h, 0, 0, 0)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(0, h, 0, 0) - l(0, -h, 0, 0)) / (2 * h), 0, 1e-4);
    EXPECT_NEAR((l(0, 0, h, 0) - l(0, 0, -h, 0)) / (2 * h), 0, 1e-4);
}

TEST(MleCauses, EachCauseWithEnoughFailuresIsFitted)
{
    const Fleet &f = fleet();
    MleInput in = inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO);
    in.lrBounds = false;
    for (size_t i = 0; i < in.failures.size(); ++i)
        in.failures[i].cause = i % 2 ? 1 : 2;
    in.failures[0].cause = 3;   // three failures of cause 3: too few
    in.failures[1].cause = 3;
    in.failures[2].cause = 3;
    const std::vector<CauseFit> c = fitCauses(in);
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].cause, 1);
    EXPECT_EQ(c[1].cause, 2);
    EXPECT_EQ(c[0].n + c[1].n + 3, int(in.failures.size()));
    for (const CauseFit &cf : c) {
        ASSERT_TRUE(cf.result);
        EXPECT_EQ(cf.result->n, cf.n);
        EXPECT_NEAR(cf.result->B, fleetFit().B, 0.3);
    }
}

TEST(MleState, PublishFillsTheModelLikeTheOtherFits)
{
    State s;
    const Fleet &f = fleet();
    std::vector<Problems> recs;
    for (double t : f.t)
        recs.push_back({t, 0});
    s.MasProbl = std::move(recs);
    s.Izd_Prived = 600;
    s.Kol_Izd_All = 600;
    s.Sred = 1000;
    s.SKO = 250;
    s.tGar = 1000;
    s.Hist_Arr.resize(3);
    s.Hist_Arr[0].time = 500;
    s.Hist_Arr[1].time = 1000;
    s.Hist_Arr[2].time = 2000;
    const MleInput in = inputFromState(s);
    const MleResult &r = fleetFit();
    publishMaxPr(s, r, in);
    const Mod_Weib &M = s.MMaxPr;
    ASSERT_TRUE(M.Executed);
    ASSERT_EQ(M.F_Weib.size(), 3u);
    EXPECT_DOUBLE_EQ(M.F_Weib[1], weibCDF2(r.A, r.B, 500, 1000));
    EXPECT_DOUBLE_EQ(M.F_norm[1], CDF_Gauss(1000, 250, 750));
    EXPECT_DOUBLE_EQ(M.Kol_F_priv[1], 600 * r.K * M.F_Weib[1] * (1 - M.F_norm[1]));
    EXPECT_EQ(M.K_powtor, r.K);
}

TEST(MleJson, KeysAsTheCommandLineWritesThem)
{
    const QJsonObject o = mleJson(fleetFit());
    for (const char *k : {"estimates", "fisher", "lr", "loglik", "AIC", "BIC", "iterations",
                          "level", "law", "ridge", "ridge_message", "gof"})
        EXPECT_TRUE(o.contains(QLatin1String(k))) << k;
    const QJsonObject est = o[QStringLiteral("estimates")].toObject();
    for (const char *k : {"B", "inv_A", "eta", "K", "KA", "t_0.5", "t_0.2", "t_0.1", "M_tGar",
                          "per_product", "fleet_claims"}) {
        EXPECT_TRUE(est[QLatin1String(k)].isDouble()) << k;
        const QJsonArray b = o[QStringLiteral("lr")].toObject()[QLatin1String(k)].toArray();
        EXPECT_EQ(b.size(), 2) << k;
    }
    EXPECT_FALSE(est.contains(QStringLiteral("Sred")));
    const QJsonObject g = o[QStringLiteral("gof")].toObject();
    for (const char *k : {"kolmogorov", "chi2", "deviance", "df", "chi2_p", "deviance_p"})
        EXPECT_TRUE(g.contains(QLatin1String(k))) << k;
    EXPECT_EQ(o[QStringLiteral("law")].toString(), QStringLiteral("normal"));
}

TEST(MleGof, KolmogorovIsTheResultsTablesCriterion)
{
    // The same figure as Kolmogor over a State holding the same failures.
    State s;
    const Fleet &f = fleet();
    std::vector<Problems> recs;
    for (double t : f.t)
        recs.push_back({t, 0});
    s.MasProbl = std::move(recs);
    s.Izd_Prived = 600;
    s.Kol_izw = int32_t(f.t.size());
    const MleResult &r = fleetFit();
    double crit;
    QString verdict;
    Kolmogor(s, r.K, r.A, r.B, r.Sred, r.SKO, crit, verdict);
    EXPECT_DOUBLE_EQ(r.gof.kolmogorov, crit);
    EXPECT_EQ(r.gof.kolmogorovVerdict, verdict);
}

TEST(MleGof, CellsAddUpToTheRecordedFailures)
{
    const Fleet &f = fleet();
    MleInput in = inputFor(f.t, f.p.Nprived, f.p.Sred, f.p.SKO);
    in.lrBounds = false;
    std::vector<int32_t> counts(4, 0);
    in.histBounds = {300, 600, 1000, 3000};
    for (double t : f.t)
        for (size_t i = 0; i < 4; ++i)
            if (t < in.histBounds[i] + 0.1) {
                ++counts[i];
                break;
            }
    in.histCounts = counts;
    const MleResult r = fitMle(in);
    EXPECT_EQ(r.gof.cells, 5);
    EXPECT_EQ(r.gof.df, 2);
    ASSERT_TRUE(r.gof.chi2P && r.gof.devianceP);
    EXPECT_GT(*r.gof.chi2P, 0.001);
    EXPECT_GE(r.gof.deviance, 0);
}

TEST(MleFit, FailuresAtZeroHoursAreFailuresBelowTheResolution)
{
    // Two failures recorded at 0 h: each enters as a failure in (0, 0.1 h], the rest as
    // exact times; the likelihood at the estimate is the straight transcription's.
    const Fleet &f = fleet();
    std::vector<double> t = f.t;
    MleInput in = inputFor(t, f.p.Nprived, f.p.Sred, f.p.SKO);
    in.failures.push_back({0.0, 0, 14});
    in.failures.push_back({0.0, 0, 15});
    const MleResult r = fitMle(in);
    EXPECT_EQ(r.n, int(t.size()) + 2);
    EXPECT_EQ(r.zeroMessage, mtxt::zeroHours(2));
    const double a = std::log(r.A), b = std::log(r.B), k = std::log(r.K);
    const double F01 = -std::expm1(-r.A * std::pow(0.1, r.B));
    const double l =
        straightL(t, f.p.Nprived, f.p.Sred, f.p.SKO, a, b, k) +
        2 * std::log(f.p.Nprived * r.K * F01 * std::exp(logSurvival(0.1, f.p.Sred, f.p.SKO)));
    EXPECT_NEAR(r.loglik, l, 1e-9 * std::fabs(l));
    EXPECT_LT(r.gradientNorm, 1e-6);
    // Without failures at 0 h there is no such message.
    EXPECT_TRUE(fleetFit().zeroMessage.isEmpty());
}

TEST(MleState, EachFailureCarriesItsLineInTheFile)
{
    // Comment, Sred, SKO, products, failures, causes, one cause, then the failures (lines 8–11),
    // read in time order: the fit's refusals name the line a failure came from.
    const QByteArray file = "fleet\n1000\n250\n100\n4\n1\nPump\n300\tPump\n0\tPump\n"
                            "120\tPump\n300\tPump\n";
    State s;
    applyFailureFile(s, readFailureFile(file));
    const MleInput in = inputFromState(s);
    ASSERT_EQ(in.failures.size(), 4u);
    const int lines[] = {9, 10, 8, 11};   // times 0, 120, 300, 300 (equal times in file order)
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(in.failures[i].line, lines[i]) << i;
}

// ---- the bounds over generated fleets --------------------------------------------------------

namespace {

//! Fleets of the property test: OBROTK_MLE_FLEETS overrides the count (200 by default).
int fleetCount()
{
    const char *v = std::getenv("OBROTK_MLE_FLEETS");
    return v ? std::max(1, std::atoi(v)) : 200;
}

}   // namespace

TEST(MleProperty, EveryBoundIsARootOrHonestlyOpenOverGeneratedFleets)
{
    // Fleets drawn from the model: B 0.5–4, K 0.15–3, 50–10^4 failures, narrow (SKO = 5 % of
    // Sred) and wide (50 %) warranty laws, F(Sred) from 0.01 (a ridge) to 0.8.
    const double q = 3.841458820694124;   // chi-square(1) quantile at 0.95
    const int fleets = fleetCount();
    int fitted = 0, finite = 0, open = 0, undetermined = 0, wronglyOpen = 0;
    for (int i = 0; i < fleets; ++i) {
        std::mt19937_64 rng(9000 + uint64_t(i));
        std::uniform_real_distribution<double> u(0, 1);
        SimParams p;
        p.B = std::exp(std::log(0.5) + u(rng) * std::log(8.0));
        p.K = std::exp(std::log(0.15) + u(rng) * std::log(20.0));
        const double n = std::exp(std::log(50.0) + u(rng) * std::log(200.0));
        p.Sred = 1000;
        p.SKO = i % 2 ? 50 : 500;
        const double F[] = {0.01, 0.3, 0.8};
        const double Fs = F[i % 3];
        p.A = -std::log1p(-Fs) / std::pow(p.Sred, p.B);
        p.Nprived = std::max(1.0, n / (p.K * Fs * 0.8));
        p.resolution = 0.1;
        p.seed = 77 + uint64_t(i);
        const std::vector<double> t = simulateFailures(p);
        MleInput in = inputFor(t, p.Nprived, p.Sred, p.SKO);
        MleResult r;
        try {
            r = fitMle(in);
        } catch (const UserError &) {
            continue;   // too few distinct times
        }
        ++fitted;
        const std::string what = "fleet " + std::to_string(i) + " (B " + std::to_string(p.B) +
                                 ", K " + std::to_string(p.K) + ", F " + std::to_string(Fs) +
                                 ", n " + std::to_string(r.n) + ")";
        // The score is zero at a maximum inside the ranges (along a ridge it is flat).
        if (!r.limit && !r.ridge) {
            EXPECT_LT(r.gradientNorm, 1e-6 * std::max(1.0, double(r.n))) << what;
            EXPECT_NEAR(r.K * r.I * p.Nprived / r.n, 1.0, 1e-9) << what;
        }
        for (const Figure &f : r.figures) {
            const std::string fw = what + " " + f.key.toStdString();
            for (const std::optional<double> &v :
                 {f.estimate, f.fisher.low, f.fisher.high, f.lr.low, f.lr.high})
                if (v)
                    EXPECT_TRUE(std::isfinite(*v)) << fw;
            if (!f.estimate || f.key == u"fleet_claims")
                continue;
            // A side that could not be settled is said so, never published as a number.
            if (!f.lrDetermined) {
                ++undetermined;
                EXPECT_FALSE(r.effortMessage.isEmpty()) << fw;
            }
            const double est = *f.estimate;
            for (int side = 0; side < 2; ++side) {
                const std::optional<double> &b = side == 0 ? f.lr.low : f.lr.high;
                if (!f.lrDetermined && !b)
                    continue;
                if (b) {
                    ++finite;
                    EXPECT_TRUE(side == 0 ? *b < est : *b > est) << fw;
                    const detail::ProfileCheck c = detail::profileAt(in, r, f.key, *b);
                    ASSERT_TRUE(c.ok) << fw;
                    EXPECT_NEAR(c.deviance, q, 1e-6) << fw << " bound " << *b;
                    continue;
                }
                // An open side: the deviance stays below q to the figure's range end, or
                // until the admissible region ends, or until a range limit lifts it.
                ++open;
                const bool logs = f.key != u"Sred";
                auto mid = [&](double a, double c) {
                    return logs ? std::sqrt(a * c) : 0.5 * (a + c);
                };
                const detail::ProfileCheck range = detail::profileAt(in, r, f.key, est, true);
                const double end = side == 0 ? range.lo : range.hi;
                const detail::ProfileCheck atEnd = detail::profileAt(in, r, f.key, end);
                if (atEnd.ok && atEnd.deviance < q)
                    continue;
                double inner = est, outer = end;
                for (int k = 0; k < 40; ++k) {
                    const double m = mid(inner, outer);
                    const detail::ProfileCheck c = detail::profileAt(in, r, f.key, m);
                    (c.ok && c.deviance < q ? inner : outer) = m;
                }
                const detail::ProfileCheck c = detail::profileAt(in, r, f.key, outer, true);
                if (!c.ok)
                    continue;   // below q up to the edge of the admissible region
                if (!(!range.estimateAtLimit && c.wideDeviance < q)) {
                    ++wronglyOpen;
                    std::cerr << fw << (side ? " upper" : " lower") << " side open, deviance "
                              << c.deviance << " at " << outer << " (with the ranges lifted "
                              << c.wideDeviance << ")\n";
                }
            }
        }
    }
    EXPECT_GE(fitted, fleets * 9 / 10);
    EXPECT_LE(undetermined, std::max(2, finite / 50));
    // Known: on steep fleets (B above 3) the upper side of 1/A is at times reported open
    // although the deviance reaches q far out (1/A a hundred times the estimate and more).
    EXPECT_LE(wronglyOpen, std::max(1, open / 50));
    std::cerr << fitted << " fleets fitted, " << finite << " finite bounds, " << open
              << " open sides checked, " << undetermined << " figures not settled\n";
}
