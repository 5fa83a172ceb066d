// SPDX-License-Identifier: MIT
// The fit of a reduced cohort table: the maximum, Fisher and likelihood-ratio bounds, the
// goodness of fit, the cells and the monitoring of rows and columns.
#include "cohort_texts.h"
#include "engine.h"

#include "life/likelihood.h"
#include "model/errors.h"
#include "model/numfmt.h"

#include <Eigen/Dense>
#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace obr::cohort::detail {

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
}

void checkCancel(const std::atomic<bool> *cancel)
{
    if (cancel && cancel->load(std::memory_order_relaxed))
        throw Cancelled();
}

// ---------------------------------------------------------------------------------------
// The usage law and the reduction by age

UsageNodes usageNodes(const Usage &usage)
{
    UsageNodes n;
    switch (usage.kind) {
    case UsageKind::Fixed:
        n.u = {usage.rate};
        n.w = {1.0};
        break;
    case UsageKind::Lognormal: {
        // Gauss–Hermite nodes of ∫ e^{−x²} g(x) dx (Golub–Welsch: the eigenvalues of the
        // Jacobi matrix of the Hermite polynomials), 24 of them: F(u·t) is smooth in ln u.
        constexpr int m = 24;
        Eigen::MatrixXd J = Eigen::MatrixXd::Zero(m, m);
        for (int i = 1; i < m; ++i)
            J(i, i - 1) = J(i - 1, i) = std::sqrt(i / 2.0);
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(J);
        for (int i = 0; i < m; ++i) {
            const double x = es.eigenvalues()[i];
            const double v = es.eigenvectors()(0, i);
            n.u.push_back(usage.median * std::exp(usage.logSd * std::sqrt(2.0) * x));
            n.w.push_back(v * v);   // the weights of the normalised law sum to 1
        }
        break;
    }
    case UsageKind::Sample: {
        std::vector<double> s = usage.sample;
        std::sort(s.begin(), s.end());
        // A large sample is summarised by 256 equal-probability quantiles.
        const size_t m = std::min<size_t>(s.size(), 256);
        for (size_t i = 0; i < m; ++i) {
            const size_t lo = i * s.size() / m, hi = (i + 1) * s.size() / m;
            double sum = 0;
            for (size_t j = lo; j < hi; ++j)
                sum += s[j];
            n.u.push_back(sum / double(hi - lo));
            n.w.push_back(double(hi - lo) / double(s.size()));
        }
        break;
    }
    }
    for (double u : n.u)
        n.lnU.push_back(std::log(u));
    return n;
}

double typicalRate(const Usage &usage)
{
    switch (usage.kind) {
    case UsageKind::Fixed:
        return usage.rate;
    case UsageKind::Lognormal:
        return usage.median;
    case UsageKind::Sample: {
        std::vector<double> s = usage.sample;
        if (s.empty())
            return 1;
        std::sort(s.begin(), s.end());
        const size_t n = s.size();
        return n % 2 ? s[n / 2] : 0.5 * (s[n / 2 - 1] + s[n / 2]);
    }
    }
    return 1;
}

namespace {

QString columnName(const NevadaTable &t, int r, int a)
{
    if (t.layout == Layout::Calendar) {
        const int k = t.start[size_t(r)] + a - 1;
        if (k >= 0 && k < int(t.periods.size()))
            return t.periods[size_t(k)];
    }
    return QString::number(a);
}

//! The row's line in its file, or its number in the table.
int rowLine(const NevadaTable &t, int r)
{
    return r < int(t.lines.size()) ? t.lines[size_t(r)] : r + 1;
}

//! Column number of the cell as the table shows it (after the label and units).
int columnNumber(const NevadaTable &t, int r, int a)
{
    return 2 + (t.causes.empty() ? 0 : 1) +
           (t.layout == Layout::Calendar ? t.start[size_t(r)] + a : a);
}

}   // namespace

Reduced reduce(const NevadaTable &t, int cause, int dataEnd, const Settings &s)
{
    Reduced P;
    P.model = s.model;
    P.ages = s.ages;
    P.nodes = usageNodes(s.usage);
    if (s.warrantyHours)
        P.hoursLimit = *s.warrantyHours;
    if (s.warrantyPeriods)
        P.ageLimit = *s.warrantyPeriods;
    P.dataEnd = dataEnd;
    int maxAge = 0;
    for (int r = 0; r < t.rowCount(); ++r)
        maxAge = std::max(maxAge, observedAge(t, r, dataEnd, P.ageLimit));
    P.maxAge = maxAge;
    P.C.assign(size_t(maxAge + 1), 0.0);
    P.E.assign(size_t(maxAge + 1), 0.0);
    P.lastN.assign(size_t(maxAge + 1), 0.0);
    P.lastS.assign(size_t(maxAge + 1), 0.0);
    const double minRate = *std::min_element(P.nodes.u.begin(), P.nodes.u.end());
    for (int r = 0; r < t.rowCount(); ++r) {
        const int full = dataEnd - t.start[size_t(r)] + 1;   // ages with data
        if (full < 1)
            continue;
        const int m = observedAge(t, r, dataEnd, P.ageLimit);
        const double N = t.units[size_t(r)];
        double rowClaims = 0;
        for (int a = 1; a <= full; ++a) {
            const double c = cause < 0 ? t.cell(r, a)
                                       : (a <= int(t.claims[size_t(cause)][size_t(r)].size())
                                              ? t.claims[size_t(cause)][size_t(r)][size_t(a - 1)]
                                              : 0.0);
            if (c <= 0)
                continue;
            auto refuse = [&](const QString &why) {
                throw UserError(txt::cellError.arg(rowLine(t, r))
                                    .arg(t.rows[size_t(r)])
                                    .arg(columnNumber(t, r, a))
                                    .arg(columnName(t, r, a), why));
            };
            if (a > P.ageLimit)
                refuse(txt::pastWarranty.arg(a).arg(P.ageLimit));
            if (minRate * (a - 1) >= P.hoursLimit && P.nodes.u.size() == 1)
                refuse(txt::pastWarrantyHours.arg(a).arg(fmtGeneral(minRate * (a - 1), s.dec),
                                                  fmtGeneral(P.hoursLimit, s.dec)));
            rowClaims += c;
            P.C[size_t(a)] += c;
            P.claims += c;
            if (s.ages == AgeConvention::Interval)
                P.constant += c * std::log(N) - std::lgamma(c + 1);
            else
                P.constant += c * std::log(N);
        }
        if (s.model == ModelKind::First && rowClaims > N)
            throw UserError(
                txt::rowError.arg(r + 1)
                    .arg(t.rows[size_t(r)])
                    .arg(txt::overUnits.arg(fmtGeneral(rowClaims, s.dec), fmtGeneral(N, s.dec))));
        P.cells += m;
        P.units += N;
        for (int a = 1; a <= m; ++a)
            P.E[size_t(a)] += N;
        if (m > 0) {
            P.lastN[size_t(m)] += N;
            P.lastS[size_t(m)] += N - rowClaims;
        }
    }
    if (s.model == ModelKind::First)
        P.constant = 0;   // the life-data likelihood: Σ ln ΔF + Σ ln R, no other constant
    return P;
}

// ---------------------------------------------------------------------------------------
// Figures

namespace {

using D3 = Dual<3>;
using D2 = Dual<2>;

enum class Kind { B, InvA, Eta, K, KA, Time, MtGar, PerProduct };

struct FigureDef {
    QString key;
    Kind kind;
    double p = 0;   //!< Kind::Time: the level of K·F
};

std::vector<FigureDef> figureDefs(const Reduced &P, bool hasLimit)
{
    std::vector<FigureDef> v = {{QStringLiteral("B"), Kind::B},
                                {QStringLiteral("inv_A"), Kind::InvA},
                                {QStringLiteral("eta"), Kind::Eta}};
    if (P.model == ModelKind::Repeat) {
        v.push_back({QStringLiteral("K"), Kind::K});
        v.push_back({QStringLiteral("KA"), Kind::KA});
    }
    v.push_back({QStringLiteral("t_0.5"), Kind::Time, 0.5});
    v.push_back({QStringLiteral("t_0.2"), Kind::Time, 0.2});
    v.push_back({QStringLiteral("t_0.1"), Kind::Time, 0.1});
    if (hasLimit) {
        v.push_back({QStringLiteral("M_tGar"), Kind::MtGar});
        v.push_back({QStringLiteral("per_product"), Kind::PerProduct});
    }
    return v;
}

//! The hours of the warranty end for the typical rate.
double warrantyHoursAt(const Reduced &P, double rate)
{
    const double byAge =
        P.ageLimit == std::numeric_limits<int>::max() ? kInf : rate * double(P.ageLimit);
    return std::min(byAge, P.hoursLimit);
}

//! G at the warranty end: E_u[F(min(u·L, H))].
template <class T>
T shareAtLimit(const Reduced &P, const T &alpha, const T &beta)
{
    const T B = exp(beta);
    T g(0.0);
    for (size_t k = 0; k < P.nodes.u.size(); ++k) {
        const double t = warrantyHoursAt(P, P.nodes.u[k]);
        g += P.nodes.w[k] * oneMinusExpNeg(exp(alpha + B * std::log(t)));
    }
    return g;
}

//! ln ψ at (α, β, k); false where the figure has no finite value.
template <class T>
bool figureLog(const FigureDef &d, const Reduced &P, double rate, const T &a, const T &b,
               const T &k, T &out)
{
    const T B = exp(b);
    switch (d.kind) {
    case Kind::B:
        out = b;
        return true;
    case Kind::InvA:
        out = -a;
        return true;
    case Kind::Eta:
        out = -a / B;
        return true;
    case Kind::K:
        out = k;
        return true;
    case Kind::KA:
        out = k + a;
        return true;
    case Kind::Time: {
        // K·F(t) = p: A·t^B = −ln(1 − p/K).
        const T r = d.p * exp(-k);
        if (!(value(r) < 1))
            return false;
        out = (log(-log1mx(r)) - a) / B;
        return true;
    }
    case Kind::MtGar: {
        const double tw = warrantyHoursAt(P, rate);
        const T F = oneMinusExpNeg(exp(a + B * std::log(tw)));
        if (!(value(F) > 0))
            return false;
        out = k + log(F);
        return true;
    }
    case Kind::PerProduct: {
        const T G = shareAtLimit(P, a, b);
        if (!(value(G) > 0))
            return false;
        out = k + log(G);
        return true;
    }
    }
    return false;
}

// ---------------------------------------------------------------------------------------
// Maximisation

using life::Mat;
using life::Vec;

//! The profile over (α, β) with K in closed form (repeat) as an objective.
life::Objective profileObjective(const Reduced &P)
{
    return [&P](const Vec &x, Vec *g, Mat *H) -> double {
        if (!g) {
            const double v = profileK(P, x[0], x[1]);
            return std::isfinite(v) ? v : -kInf;
        }
        const D2 v = profileK(P, D2::variable(x[0], 0), D2::variable(x[1], 1));
        if (!std::isfinite(v.v))
            return -kInf;
        g->resize(2);
        H->resize(2, 2);
        for (int i = 0; i < 2; ++i) {
            (*g)[i] = v.g[size_t(i)];
            for (int j = 0; j < 2; ++j)
                (*H)(i, j) = v.h[size_t(i)][size_t(j)];
        }
        return v.v;
    };
}

Vec lowBox() { return Vec{{kAlphaLo, kBetaLo}}; }
Vec highBox() { return Vec{{kAlphaHi, kBetaHi}}; }

//! The best start on a grid of shapes and levels of F at the oldest observed hours.
Vec startPoint(const Reduced &P, double rate)
{
    const double tref = std::min(rate * std::max(1, std::min(P.maxAge, P.ageLimit)), P.hoursLimit);
    const double lt = std::log(std::max(tref, 1e-300));
    Vec best{{0.0, 0.0}};
    double bestV = -kInf;
    for (double B : {0.4, 0.7, 1.0, 1.5, 2.2, 3.5, 6.0})
        for (double z : {1e-4, 1e-3, 1e-2, 0.05, 0.2, 0.7, 2.0}) {
            const double a = std::log(z) - B * lt;
            const double v = profileK(P, a, std::log(B));
            if (v > bestV) {
                bestV = v;
                best = Vec{{a, std::log(B)}};
            }
        }
    return best;
}

// ---------------------------------------------------------------------------------------
// Likelihood-ratio bounds

/*! The profile of one figure: the parameters as functions of ψ and the free variables
 *  y (one or two), K in closed form where the figure leaves it free. */
struct Hold {
    const FigureDef &def;
    const Reduced &P;
    double rate;
    int dim = 1;
    bool profile = false;   //!< K in closed form

    Hold(const FigureDef &d, const Reduced &p, double r) : def(d), P(p), rate(r)
    {
        const bool repeat = P.model == ModelKind::Repeat;
        switch (def.kind) {
        case Kind::B:
        case Kind::InvA:
        case Kind::Eta:
            dim = 1;
            profile = repeat;
            break;
        case Kind::K:
        case Kind::KA:
            dim = 2;
            break;
        case Kind::Time:
        case Kind::MtGar:
            dim = repeat ? 2 : 1;
            break;
        case Kind::PerProduct:
            dim = repeat ? 2 : 1;
            break;
        }
    }

    //! The free variables at the estimate.
    Vec start(double a, double b, double k) const
    {
        const bool repeat = P.model == ModelKind::Repeat;
        switch (def.kind) {
        case Kind::B:
            return Vec{{a}};
        case Kind::InvA:
        case Kind::Eta:
            return Vec{{b}};
        case Kind::K:
        case Kind::KA:
            return Vec{{a, b}};
        case Kind::Time:
            return repeat ? Vec{{b, k}} : Vec{{b}};
        case Kind::MtGar:
        case Kind::PerProduct:
            return repeat ? Vec{{a, b}} : Vec{{b}};
        }
        return Vec{{a}};
    }

    //! The log-likelihood at ψ and y.
    template <class T>
    T value(double psi, const T &y0, const T &y1) const
    {
        const T bad(-kInf);
        T a(0.0), b(0.0), k(0.0);
        switch (def.kind) {
        case Kind::B:
            a = y0;
            b = T(psi);
            break;
        case Kind::InvA:
            a = T(-psi);
            b = y0;
            break;
        case Kind::Eta:
            b = y0;
            a = -psi * exp(b);
            break;
        case Kind::K:
            a = y0;
            b = y1;
            k = T(psi);
            break;
        case Kind::KA:
            a = y0;
            b = y1;
            k = psi - a;
            break;
        case Kind::Time: {
            // ln t_p = ψ: ln A = ln(−ln(1 − p/K)) − B·ψ.
            b = y0;
            if (P.model == ModelKind::Repeat)
                k = y1;
            const T r = def.p * exp(-k);
            if (!(detail::value(r) < 1))
                return bad;
            a = log(-log1mx(r)) - exp(b) * psi;
            break;
        }
        case Kind::MtGar:
        case Kind::PerProduct: {
            if (P.model == ModelKind::Repeat) {
                a = y0;
                b = y1;
                T share;
                if (def.kind == Kind::MtGar)
                    share = oneMinusExpNeg(exp(a + exp(b) * std::log(warrantyHoursAt(P, rate))));
                else
                    share = shareAtLimit(P, a, b);
                if (!(detail::value(share) > 0))
                    return bad;
                k = psi - log(share);
            } else {
                // F(t_w) = e^ψ at the one warranty time of a fixed rate.
                b = y0;
                if (!(psi < 0))
                    return bad;
                a = std::log(-std::log1p(-std::exp(psi))) -
                    exp(b) * std::log(warrantyHoursAt(P, rate));
            }
            break;
        }
        }
        if (!(detail::value(a) >= kAlphaLo && detail::value(a) <= kAlphaHi &&
              detail::value(b) >= kBetaLo && detail::value(b) <= kBetaHi))
            return bad;
        if (profile)
            return profileK(P, a, b);
        return loglik(P, a, b, k);
    }

    life::Objective objective(double psi) const
    {
        return [this, psi](const Vec &y, Vec *g, Mat *H) -> double {
            if (!g) {
                const double v =
                    dim == 1 ? value<double>(psi, y[0], 0.0) : value<double>(psi, y[0], y[1]);
                return std::isfinite(v) ? v : -kInf;
            }
            const D2 v = dim == 1 ? value<D2>(psi, D2::variable(y[0], 0), D2(0.0))
                                  : value<D2>(psi, D2::variable(y[0], 0), D2::variable(y[1], 1));
            if (!std::isfinite(v.v))
                return -kInf;
            g->resize(dim);
            H->resize(dim, dim);
            for (int i = 0; i < dim; ++i) {
                (*g)[i] = v.g[size_t(i)];
                for (int j = 0; j < dim; ++j)
                    (*H)(i, j) = v.h[size_t(i)][size_t(j)];
            }
            return v.v;
        };
    }
};

struct Profiler {
    const Hold &hold;
    double lHat;
    const std::atomic<bool> *cancel;
    Vec warm;

    double deviance(double psi)
    {
        checkCancel(cancel);
        const Vec lo = Vec::Constant(hold.dim, -1e6), hi = Vec::Constant(hold.dim, 1e6);
        const life::MaxResult m = life::maximize(hold.objective(psi), warm, lo, hi, 60, true);
        if (!std::isfinite(m.value))
            return kInf;
        warm = m.x;
        return std::max(0.0, 2 * (lHat - m.value));
    }
};

/*! One side: steps out from ψ̂ until the deviance passes q, then closes in on the root by
 *  regula falsi with the Illinois halving until the deviance is within 1e-8 of q (or of
 *  the rounding of a large log-likelihood). */
std::optional<double> lrSide(Profiler &pr, const Vec &y0, double psiHat, double se, double q,
                             double dir, double walk)
{
    pr.warm = y0;
    double x0 = psiHat, f0 = -q;
    Vec w0 = y0;
    double step = std::isfinite(se) && se > 0 ? std::min(std::sqrt(q) * se, 1.0) : 0.1;
    const double limit = psiHat + dir * walk;
    double x1 = x0, f1 = f0;
    for (int i = 0; i < 100; ++i) {
        x1 = x0 + dir * step;
        if (dir * (x1 - limit) > 0)
            x1 = limit;
        f1 = pr.deviance(x1) - q;
        if (f1 >= 0)
            break;
        if (x1 == limit)
            return std::nullopt;
        x0 = x1;
        f0 = f1;
        w0 = pr.warm;
        step *= 2;
    }
    if (!(f1 >= 0))
        return std::nullopt;
    if (!std::isfinite(f1)) {
        // Past the admissible region: halve back onto finite deviances.
        for (int i = 0; i < 80 && !std::isfinite(f1); ++i) {
            const double xm = 0.5 * (x0 + x1);
            pr.warm = w0;
            const double fm = pr.deviance(xm) - q;
            if (fm >= 0) {
                x1 = xm;
                f1 = fm;
            } else {
                x0 = xm;
                f0 = fm;
                w0 = pr.warm;
            }
        }
        if (!std::isfinite(f1))
            return std::nullopt;   // the deviance stays below q to the region's edge
    }
    // The deviance is known to the rounding of the log-likelihood's value, not better.
    const double tol = std::max(1e-8, 1e-14 * std::fabs(pr.lHat));
    int lastSide = 0;
    for (int i = 0; i < 100; ++i) {
        if (std::fabs(f1) < tol)
            return x1;
        if (std::fabs(f0) < tol)
            return x0;
        double xm = (x0 * f1 - x1 * f0) / (f1 - f0);
        if (!(xm > std::min(x0, x1) && xm < std::max(x0, x1)))
            xm = 0.5 * (x0 + x1);
        if (std::fabs(x1 - x0) < 1e-13 * std::max(1.0, std::fabs(xm)))
            return xm;
        pr.warm = w0;
        const double fm = pr.deviance(xm) - q;
        if (!std::isfinite(fm)) {
            x1 = xm;
            continue;
        }
        if (fm < 0) {
            x0 = xm;
            f0 = fm;
            w0 = pr.warm;
            if (lastSide == -1)
                f1 *= 0.5;
            lastSide = -1;
        } else {
            x1 = xm;
            f1 = fm;
            if (lastSide == 1)
                f0 *= 0.5;
            lastSide = 1;
        }
    }
    return std::fabs(f0) < std::fabs(f1) ? x0 : x1;
}

double chi2P(double x, int df)
{
    if (df < 1)
        return std::numeric_limits<double>::quiet_NaN();
    boost::math::chi_squared_distribution<double> law(df);
    return boost::math::cdf(boost::math::complement(law, std::max(0.0, x)));
}

Flag flagOf(const std::optional<double> &p)
{
    if (!p)
        return Flag::None;
    if (*p < 0.01)
        return Flag::Critical;
    if (*p < 0.10)
        return Flag::Caution;
    return Flag::None;
}

}   // namespace

// ---------------------------------------------------------------------------------------

Fit fitReduced(const Reduced &P, const NevadaTable &t, int cause, const Settings &s,
               const std::atomic<bool> *cancel, const std::function<void(double)> &part)
{
    if (!(P.claims > 0))
        throw UserError(txt::noClaims);
    int ages = 0;
    for (int a = 1; a <= P.maxAge; ++a)
        ages += P.C[size_t(a)] > 0;
    if (ages < 2)
        throw UserError(txt::oneAge);
    checkCancel(cancel);

    Fit f;
    f.model = P.model;
    f.claims = P.claims;
    f.units = P.units;
    f.parameters = P.model == ModelKind::Repeat ? 3 : 2;
    const double rate = typicalRate(s.usage);

    // The maximum over (ln A, ln B), K in closed form.
    const life::Objective obj = profileObjective(P);
    Vec x = startPoint(P, rate);
    if (!std::isfinite(profileK(P, x[0], x[1])))
        throw UserError(txt::noMaximum);
    life::MaxResult m = life::maximize(obj, x, lowBox(), highBox(), 500, true);
    if (!std::isfinite(m.value))
        throw UserError(txt::noMaximum);
    // A second pass from the end polishes a stop on a line search.
    m = life::maximize(obj, m.x, lowBox(), highBox(), 100, true);
    checkCancel(cancel);
    double k = 0;
    bool clamped = false;
    profileK(P, m.x[0], m.x[1], &k, &clamped);
    const double a = m.x[0], b = m.x[1];
    f.A = std::exp(a);
    f.B = std::exp(b);
    f.K = std::exp(k);
    f.limit = clamped;
    f.iterations = 0;

    // The observed information in (ln A, ln B[, ln K]).
    const int np = f.parameters;
    const D3 L3 = loglik(P, D3::variable(a, 0), D3::variable(b, 1), D3::variable(k, 2));
    f.loglik = L3.v;
    Eigen::MatrixXd info(np, np);
    double gmax = 0;
    for (int i = 0; i < np; ++i) {
        if (!(clamped && i == 2))
            gmax = std::max(gmax, std::fabs(L3.g[size_t(i)]));
        for (int j = 0; j < np; ++j)
            info(i, j) = -L3.h[size_t(i)][size_t(j)];
    }
    f.gradientNorm = gmax;
    Eigen::MatrixXd cov;
    bool fisherOk = false;
    {
        Eigen::LLT<Eigen::MatrixXd> llt(info);
        if (llt.info() == Eigen::Success) {
            cov = llt.solve(Eigen::MatrixXd::Identity(np, np));
            fisherOk = cov.allFinite() && (cov.diagonal().array() > 0).all();
        }
    }
    if (fisherOk) {
        for (int i = 0; i < np; ++i)
            for (int j = 0; j < np; ++j)
                f.covariance.push_back(cov(i, j));
    }

    // Figures with both kinds of bounds.
    const bool hasLimit =
        P.ageLimit != std::numeric_limits<int>::max() || std::isfinite(P.hoursLimit);
    const std::vector<FigureDef> defs = figureDefs(P, hasLimit);
    const double level = s.level;
    const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - level) / 2);
    const double q = boost::math::quantile(boost::math::chi_squared(1), level);
    int done = 0;
    for (const FigureDef &d : defs) {
        checkCancel(cancel);
        Figure fig;
        fig.key = d.key;
        D3 lv;
        if (figureLog(d, P, rate, D3::variable(a, 0), D3::variable(b, 1), D3::variable(k, 2), lv) &&
            std::isfinite(lv.v)) {
            fig.estimate = std::exp(lv.v);
            double se = std::numeric_limits<double>::quiet_NaN();
            if (fisherOk) {
                double var = 0;
                for (int i = 0; i < np; ++i)
                    for (int j = 0; j < np; ++j)
                        var += lv.g[size_t(i)] * cov(i, j) * lv.g[size_t(j)];
                if (var >= 0) {
                    se = std::sqrt(var);
                    fig.fisher.low = std::exp(lv.v - z * se);
                    fig.fisher.high = std::exp(lv.v + z * se);
                }
            }
            const bool lawFirst =
                P.model == ModelKind::First && P.nodes.u.size() > 1 && (d.kind == Kind::PerProduct);
            if (s.lrBounds && !lawFirst) {
                // Under first failures with one rate the two warranty figures coincide in
                // form; with a law only M_tGar has a closed profile.
                const FigureDef holdDef = P.model == ModelKind::First && d.kind == Kind::PerProduct
                                              ? FigureDef{d.key, Kind::MtGar}
                                              : d;
                Hold hold(holdDef, P, rate);
                Profiler pr{hold, f.loglik, cancel, {}};
                const Vec y0 = hold.start(a, b, k);
                // The walk: 25 units of ln ψ either side, K inside its range.
                double walkLo = 25, walkHi = 25;
                if (d.kind == Kind::K) {
                    walkLo = std::max(0.0, lv.v - std::log(kKMin));
                    walkHi = std::max(0.0, std::log(kKMax) - lv.v);
                }
                if (d.kind == Kind::B) {
                    walkLo = std::max(0.0, lv.v - kBetaLo);
                    walkHi = std::max(0.0, kBetaHi - lv.v);
                }
                if (P.model == ModelKind::First &&
                    (d.kind == Kind::MtGar || d.kind == Kind::PerProduct))
                    walkHi = std::max(0.0, -lv.v - 1e-12);
                if (const auto lo = lrSide(pr, y0, lv.v, se, q, -1, walkLo))
                    fig.lr.low = std::exp(*lo);
                if (const auto hi = lrSide(pr, y0, lv.v, se, q, +1, walkHi))
                    fig.lr.high = std::exp(*hi);
            }
        }
        f.figures.push_back(fig);
        ++done;
        if (part)
            part(double(done) / double(defs.size()));
    }

    // The ridge: K without an upper likelihood-ratio bound, or ln A and ln K moving together.
    if (P.model == ModelKind::Repeat) {
        double corr = 0;
        if (fisherOk)
            corr = cov(0, 2) / std::sqrt(cov(0, 0) * cov(2, 2));
        const Figure *Kf = f.figure(QStringLiteral("K"));
        f.ridge = f.limit || (fisherOk && std::fabs(corr) > 0.999) ||
                  (s.lrBounds && Kf && Kf->estimate && !Kf->lr.high);
        if (f.ridge) {
            f.ridgeMessage = txt::ridge;
            if (f.limit)
                f.ridgeMessage += txt::limit;
        }
    }

    // Cells, goodness of fit and the monitoring of rows and columns.
    std::vector<double> G, S;
    cumulative(P, a, b, P.maxAge, G, S);
    std::vector<MonitorLine> cols(size_t(P.dataEnd + 1));
    for (int c = 0; c <= P.dataEnd; ++c) {
        cols[size_t(c)].index = c;
        cols[size_t(c)].label = c < int(t.periods.size()) ? t.periods[size_t(c)] : QString();
    }
    double dev = 0, x2 = 0;
    int cells = 0;
    for (int r = 0; r < t.rowCount(); ++r) {
        const int mr = observedAge(t, r, P.dataEnd, P.ageLimit);
        if (mr < 1)
            continue;
        MonitorLine row;
        row.index = r;
        row.label = t.rows[size_t(r)];
        const double N = t.units[size_t(r)];
        double rowClaims = 0;
        for (int a1 = 1; a1 <= mr; ++a1) {
            Cell c;
            c.row = r;
            c.age = a1;
            c.period = t.start[size_t(r)] + a1 - 1;
            c.observed = cause < 0 ? t.cell(r, a1)
                                   : (a1 <= int(t.claims[size_t(cause)][size_t(r)].size())
                                          ? t.claims[size_t(cause)][size_t(r)][size_t(a1 - 1)]
                                          : 0.0);
            rowClaims += c.observed;
            c.expected = N * f.K * cellShare(P, G, S, a1);
            if (c.expected > 0) {
                c.residual = (c.observed - c.expected) / std::sqrt(c.expected);
                const double pear = c.residual * c.residual;
                double d = 0;
                if (P.model == ModelKind::Repeat)
                    d = 2 *
                        ((c.observed > 0 ? c.observed * std::log(c.observed / c.expected) : 0.0) -
                         (c.observed - c.expected));
                else
                    d = 2 * (c.observed > 0 ? c.observed * std::log(c.observed / c.expected) : 0.0);
                dev += d;
                x2 += pear;
                ++cells;
                row.X2 += pear;
                row.df += 1;
                MonitorLine &col = cols[size_t(c.period)];
                col.X2 += pear;
                col.df += 1;
                col.observed += c.observed;
                col.expected += c.expected;
            }
            row.observed += c.observed;
            row.expected += c.expected;
            f.cells.push_back(c);
        }
        if (P.model == ModelKind::First) {
            // The units without claims close the row's multinomial.
            const double eS = N * S[size_t(mr)];
            const double oS = N - rowClaims;
            if (eS > 0) {
                dev += 2 * (oS > 0 ? oS * std::log(oS / eS) : 0.0);
                x2 += (oS - eS) * (oS - eS) / eS;
            }
        }
        f.monitorRows.push_back(row);
    }
    for (MonitorLine &c : cols)
        if (c.df > 0)
            f.monitorColumns.push_back(c);
    for (auto *lines : {&f.monitorRows, &f.monitorColumns})
        for (MonitorLine &l : *lines) {
            if (l.df > 0)
                l.p = chi2P(l.X2, l.df);
            l.flag = flagOf(l.p);
        }
    f.gof.deviance = dev;
    f.gof.chi2 = x2;
    f.gof.cells = cells;
    f.gof.df = cells - f.parameters;
    if (f.gof.df >= 1) {
        f.gof.devianceP = chi2P(dev, f.gof.df);
        f.gof.chi2P = chi2P(x2, f.gof.df);
    }
    return f;
}

std::vector<double> theta(const Fit &f)
{
    std::vector<double> th = {std::log(f.A), std::log(f.B)};
    if (f.model == ModelKind::Repeat)
        th.push_back(std::log(f.K));
    return th;
}

}   // namespace obr::cohort::detail
