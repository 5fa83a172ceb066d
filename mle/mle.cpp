// SPDX-License-Identifier: MIT
#include "mle.h"
#include "likelihood.h"
#include "optimize.h"

#include "model/errors.h"
#include "model/numfmt.h"
#include "stats/stat2018.h"

#include <boost/math/distributions/chi_squared.hpp>
#include <boost/math/distributions/normal.hpp>

#include <QJsonArray>

#include <algorithm>
#include <exception>
#include <mutex>
#include <thread>
#include <chrono>
#include <map>
#include <cmath>
#include <limits>
#include <numeric>

namespace obr::mle {

using namespace detail;

namespace mtxt {
QString failureWho(int line, int rank)
{
    return line > 0 ? QStringLiteral("отказ в строке %1 файла").arg(line)
                    : QStringLiteral("отказ № %1").arg(rank);
}
QString failureNotPositive(const QString &who, double t, QChar dec)
{
    return QStringLiteral("Метод максимального правдоподобия неприменим: %1 имеет "
                          "наработку %2 ч, а наработка не может быть меньше нуля.")
        .arg(who, fmtGeneral(t, dec));
}
QString warrantyEnded(const QString &who, double t, QChar dec)
{
    return QStringLiteral("Метод максимального правдоподобия неприменим: %1 с "
                          "наработкой %2 ч записан там, где гарантия уже закончилась у всех "
                          "изделий (доля изделий на гарантии равна нулю).")
        .arg(who, fmtGeneral(t, dec));
}
QString zeroHours(int count, QChar dec)
{
    return QStringLiteral("Отказов с наработкой 0 ч: %1; наработка записана с точностью "
                          "%2 ч, и они учтены как отказы в интервале (0; %2] ч.")
        .arg(count)
        .arg(fmtGeneral(kZeroHour, dec));
}
QString notConverged()
{
    return QStringLiteral("Поиск максимума правдоподобия не сошелся за ограниченное число "
                          "шагов: показана точка, где он остановился, и ее границы сомнительны.");
}
QString boundsEffort()
{
    return QStringLiteral("Часть границ по отношению правдоподобия не найдена за ограниченное "
                          "число вычислений: они показаны как не определенные.");
}
QString noFailures()
{
    return QStringLiteral("Для оценки по методу максимального правдоподобия нет ни одного "
                          "отказа.");
}
QString oneTime()
{
    return QStringLiteral("Для оценки по методу максимального правдоподобия нужны отказы хотя "
                          "бы при двух разных наработках.");
}
QString badFleet()
{
    return QStringLiteral("Приведенный парк изделий и парк для прогноза должны быть больше "
                          "нуля.");
}
QString badSKO()
{
    return QStringLiteral("Ср.квад.откл. срока гарантии должно быть больше нуля, а средний "
                          "срок гарантии — конечным числом.");
}
QString badLevel()
{
    return QStringLiteral("Доверительная вероятность должна быть больше 0 и меньше 1.");
}
QString badTGar()
{
    return QStringLiteral("Срок, за который считаются отказы на изделие, должен быть больше "
                          "нуля.");
}
QString noWarrantyFile()
{
    return QStringLiteral("Эмпирический закон сроков гарантии требует загруженного файла "
                          "сроков гарантии.");
}
QString noStart()
{
    return QStringLiteral("Метод максимального правдоподобия: при заданных сроках гарантии "
                          "правдоподобие не вычисляется ни в одной точке допустимых диапазонов.");
}
QString ridge()
{
    return QStringLiteral("Данные не различают коэффициент повторности K и параметр A: за "
                          "время гарантии F(t) остается малой, и определены только "
                          "произведение K·A и параметр B. Показаны K·A с границами; средняя "
                          "и 80%, 90% наработки на отказ, отказы на изделие за гарантийный срок "
                          "и за всю гарантию определены.");
}
QString limit()
{
    return QStringLiteral(" Максимум правдоподобия не достигается: он уходит вдоль гребня, "
                          "показана предельная точка на границе диапазона K.");
}
QString warrantyWeak()
{
    return QStringLiteral("Средний срок гарантии и его ср.квад.откл. слабо определяются по "
                          "одним наработкам отказов: их доверительные границы широки.");
}
QString notPositiveDefinite()
{
    return QStringLiteral("Матрица Фишера не положительно определена: границы Фишера не "
                          "вычислены.");
}
QString done(double seconds)
{
    return QStringLiteral("Подбор по методу максимального правдоподобия выполнен за %1 сек")
        .arg(qint64(seconds));
}
}   // namespace mtxt

const Figure *MleResult::figure(const QString &key) const
{
    for (const Figure &f : figures)
        if (f.key == key)
            return &f;
    return nullptr;
}

namespace {

constexpr double kWalk = 25;   // walk limit of a log figure, either side

//! The combined data with the refusals of an undefined likelihood.
Data combine(const MleInput &in, const Law &law)
{
    std::vector<double> t;
    t.reserve(in.failures.size());
    for (const Failure &f : in.failures)
        t.push_back(f.time);
    std::vector<size_t> order(t.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) { return t[i] < t[j]; });
    Data d;
    d.t0 = kZeroHour;
    for (size_t r = 0; r < order.size(); ++r) {
        const double ti = t[order[r]];
        // The failure's line in the file, or its number in time order as the grid shows it.
        const QString who = mtxt::failureWho(in.failures[order[r]].line, int(r) + 1);
        if (!std::isfinite(ti) || ti < 0)
            throw UserError(mtxt::failureNotPositive(who, ti, in.dec));
        // A failure at 0 h lies below the recording resolution: somewhere in (0, t0].
        const double tw = ti > 0 ? ti : d.t0;
        const bool ended =
            law.empirical ? !(law.survival(tw) > 0) : !(1 - CDF_Gauss(law.mu, law.sigma, tw) > 0);
        if (ended)
            throw UserError(mtxt::warrantyEnded(who, ti, in.dec));
        if (ti == 0) {
            d.n0 += 1;
            continue;
        }
        if (!d.t.empty() && d.t.back() == ti) {
            d.c.back() += 1;
        } else {
            d.t.push_back(ti);
            d.c.push_back(1);
            d.lnt.push_back(std::log(ti));
        }
    }
    d.n = double(t.size());
    for (size_t j = 0; j < d.t.size(); ++j)
        d.sumLnT += d.c[j] * d.lnt[j];
    return d;
}

Box defaultBox(const MleInput &in)
{
    Box b;
    b.lo << -800, std::log(kBMin), std::log(kKMin), 0, std::log(1e-6);
    b.hi << 800, std::log(kBMax), std::log(kKMax), 1e9, std::log(1e9);
    (void)in;
    return b;
}

//! The figures, each with the way its profile holds it.
struct FigureDef {
    QString key;
    Holding how;
    bool logScale = true;
};

std::vector<FigureDef> figureDefs(const MleInput &in, bool fitMu, bool fitSigma)
{
    std::vector<FigureDef> v = {
        {QStringLiteral("B"), {Hold::Coordinate, PB}},
        {QStringLiteral("inv_A"), {Hold::Coordinate, PA}},
        {QStringLiteral("eta"), {Hold::Eta}},
        {QStringLiteral("K"), {Hold::Coordinate, PK}},
        {QStringLiteral("KA"), {Hold::KA}},
        {QStringLiteral("t_0.5"), {Hold::Time, -1, 0.5}},
        {QStringLiteral("t_0.2"), {Hold::Time, -1, 0.2}},
        {QStringLiteral("t_0.1"), {Hold::Time, -1, 0.1}},
        {QStringLiteral("M_tGar"), {Hold::MtGar, -1, 0, std::log(in.tGar)}},
        {QStringLiteral("per_product"), {Hold::PerProduct}},
    };
    if (fitMu)
        v.push_back({QStringLiteral("Sred"), {Hold::Coordinate, PMu}, false});
    if (fitSigma)
        v.push_back({QStringLiteral("SKO"), {Hold::Coordinate, PS}});
    return v;
}

//! ψ of a figure at x and its gradient in x; false when the figure has no finite value.
bool figureValue(const FigureDef &def, Likelihood &L, const Vec &x, double &psi, Vec &grad)
{
    grad.setZero();
    const double a = x[PA], b = x[PB], k = x[PK], B = std::exp(b);
    switch (def.how.hold) {
    case Hold::Coordinate:
        if (def.how.coord == PA) {
            psi = -a;
            grad[PA] = -1;
        } else {
            psi = x[def.how.coord];
            grad[def.how.coord] = 1;
        }
        return true;
    case Hold::Eta:
        psi = -a / B;
        grad[PA] = -1 / B;
        grad[PB] = a / B;
        return true;
    case Hold::KA:
        psi = a + k;
        grad[PA] = 1;
        grad[PK] = 1;
        return true;
    case Hold::Time: {
        const double p = def.how.p;
        if (!(p * std::exp(-k) < 1))
            return false;
        double G, G1, G2;
        logCumHazard(k, p, G, G1, G2);
        psi = (G - a) / B;
        grad[PA] = -1 / B;
        grad[PB] = -psi;
        grad[PK] = G1 / B;
        return std::isfinite(psi);
    }
    case Hold::MtGar: {
        const double lnT = def.how.lnT;
        const double lnu = a + B * lnT, u = std::exp(lnu);
        const double F = -std::expm1(-u);
        const double Fa = std::exp(lnu - u);
        psi = k + std::log(F);
        grad[PK] = 1;
        grad[PA] = Fa / F;
        grad[PB] = Fa * B * lnT / F;
        return std::isfinite(psi);
    }
    case Hold::PerProduct: {
        const IStuff &is = L.istuff(x);
        psi = k + std::log(is.I);
        grad = is.g / is.I;
        grad[PK] = 1;
        return std::isfinite(psi);
    }
    case Hold::None:
        break;
    }
    return false;
}

//! K·F(T) and K·I are held through ln K where F(T) (or I) at the estimate is near 1.
bool eliminatesK(const FigureDef &def, double psi, const Vec &xh)
{
    if (def.how.hold != Hold::MtGar && def.how.hold != Hold::PerProduct)
        return false;
    return psi - xh[PK] > std::log(0.5);
}

//! The range a figure's ψ may take; beyond it a side is unbounded.
void walkRange(const FigureDef &def, const Box &box, double psiHat, double &lo, double &hi)
{
    lo = psiHat - kWalk;
    hi = psiHat + kWalk;
    if (def.how.hold == Hold::Coordinate) {
        const int c = def.how.coord;
        if (c == PA) {
            lo = std::max(lo, -box.hi[PA]);
            hi = std::min(hi, -box.lo[PA]);
        } else if (c == PMu) {
            lo = 0;
            hi = std::max(10 * psiHat, psiHat + 1e4);
        } else {
            lo = std::max(lo, box.lo[c]);
            hi = std::min(hi, box.hi[c]);
        }
    } else if (def.how.hold == Hold::MtGar || def.how.hold == Hold::PerProduct) {
        hi = std::min(hi, box.hi[PK]);   // K·F and K·I stay below K's upper end
    }
}

//! The search of a bound ran out of its bounded effort.
struct Exhausted {};

//! The profile at one ψ: its deviance, whether a range limit took part, the inner point.
struct ProfileValue {
    double dev = std::numeric_limits<double>::infinity();
    bool ok = false;        //!< a point of the admissible range holds ψ
    bool limited = false;   //!< a parameter's range limit took part in the maximum
    VecX y;
};

struct Profile {
    Likelihood &L;
    Reduced R;
    Reduced wide;   //!< the same hold over ranges far wider than the admissible ones
    double lHat;
    double lHatWide;   //!< the maximum over the wide ranges (lHat unless it is at a limit)
    const std::atomic<bool> *cancel;
    VecX y0;               //!< the free coordinates of the point estimate
    int evaluations = 0;   //!< likelihood evaluations spent
    int budget = 4000;     //!< at most this many per bound (both sides)

    SearchResult solve(Reduced &Rr, double psi, const VecX &start)
    {
        if (evaluations > budget)
            throw Exhausted();
        Rr.setPsi(psi);
        SearchResult s = maximise(Rr, start, cancel);
        evaluations += s.evaluations;
        return s;
    }

    //! The deviance at ψ from \a warm; a search that does not converge is done again from
    //! the point estimate, and the higher maximum is taken.
    ProfileValue at(double psi, const VecX &warm)
    {
        SearchResult s = solve(R, psi, warm);
        if (!s.ok || !s.converged) {
            SearchResult c = solve(R, psi, y0);
            if (c.ok && (!s.ok || c.f > s.f))
                s = c;
        }
        ProfileValue v;
        if (!s.ok)
            return v;
        v.ok = true;
        v.dev = std::max(0.0, 2 * (lHat - s.f));
        v.limited = s.limited;
        v.y = s.y;
        return v;
    }

    //! The deviance at ψ with the ranges widened: below the deviance of at() when a range
    //! limit, not the data, holds the maximum down.
    double relaxed(double psi, const VecX &warm)
    {
        SearchResult s = solve(wide, psi, warm);
        SearchResult c = solve(wide, psi, y0);
        if (c.ok && (!s.ok || c.f > s.f))
            s = c;
        return s.ok ? std::max(0.0, 2 * (lHatWide - s.f)) : std::numeric_limits<double>::infinity();
    }
};

/*! A limit makes a bound when lifting it lowers the deviance at the root by more than this.
 *  (When the estimate itself sits at a limit, the bounds are those of the limit point.) */
constexpr double kLimitEffect = 1e-4;
//! The estimate sits at a limit when the wide ranges raise the maximum by more than this.
constexpr double kAtLimit = 1e-6;

//! One side of a likelihood-ratio bound: the root, open, or not determined.
struct Side {
    std::optional<double> bound;
    bool determined = true;
    std::optional<double> openAt;   //!< where a range limit made the side open
};

/*! One side of a likelihood-ratio bound. Walks outward from ψ̂ (the first probe at the
 *  Fisher bound, then doubling steps) until the deviance passes q; the side is open when
 *  the walk reaches the figure's range, leaves the admissible region, or meets a range
 *  limit of a parameter that holds the deviance (below q) down. Otherwise deviance = q is
 *  solved by bracketed secant steps (Illinois), and the root is checked from the point
 *  estimate before it is published: a bound is a point whose deviance is q to 1e-6. */
Side lrSide(Profile &P, double psiHat, double se, double q, double dir, double limit)
{
    Side out;
    double x0 = psiHat, f0 = -q;
    VecX warm0 = P.y0;
    double step = std::isfinite(se) && se > 0 ? std::sqrt(q) * se : 0.1;
    step = std::min(step, std::fabs(limit - psiHat));
    if (!(step > 0))
        return out;
    auto atLimit = [&](double x) {
        return x == limit || std::fabs(x - limit) <= 1e-12 * std::max(1.0, std::fabs(limit));
    };
    double x1 = psiHat;
    ProfileValue v1;
    bool bracketed = false;
    for (int i = 0; i < 80 && !bracketed; ++i) {
        x1 = psiHat + dir * std::min(std::fabs(x0 - psiHat) + step, std::fabs(limit - psiHat));
        v1 = P.at(x1, warm0);
        if (!v1.ok) {
            // Past the admissible region: bisect back onto it.
            for (int k = 0; k < 50 && !v1.ok; ++k) {
                const double xm = 0.5 * (x0 + x1);
                const ProfileValue vm = P.at(xm, warm0);
                if (!vm.ok) {
                    x1 = xm;
                } else if (vm.dev >= q) {
                    x1 = xm;
                    v1 = vm;
                } else {
                    x0 = xm;
                    f0 = vm.dev - q;
                    warm0 = vm.y;
                }
            }
            if (!v1.ok)
                return out;   // below q up to the edge of the admissible region: open
        }
        if (v1.dev >= q) {
            bracketed = true;
            break;
        }
        if (atLimit(x1))
            return out;
        x0 = x1;
        f0 = v1.dev - q;
        warm0 = v1.y;
        step *= 2;
    }
    if (!bracketed)
        return out;
    // Illinois iterations on [x0, x1], f0 < 0 <= f1.
    double f1 = v1.dev - q;
    bool lim1 = v1.limited;
    VecX y1 = v1.y;
    int side = 0;
    double root = x1;
    bool rootLimited = lim1;
    VecX rootY = y1;
    for (int i = 0; i < 100; ++i) {
        if (std::fabs(f1) < 1e-8 || std::fabs(x1 - x0) < 1e-14 * std::max(1.0, std::fabs(x1))) {
            root = x1;
            rootLimited = lim1;
            rootY = y1;
            break;
        }
        if (std::fabs(f0) < 1e-8) {
            root = x0;
            rootLimited = false;
            rootY = warm0;
            break;
        }
        double xm = (x0 * f1 - x1 * f0) / (f1 - f0);
        if (!(xm > std::min(x0, x1) && xm < std::max(x0, x1)))
            xm = 0.5 * (x0 + x1);
        const ProfileValue vm = P.at(xm, warm0);
        if (!vm.ok || vm.dev >= q) {
            x1 = xm;
            f1 = vm.ok ? vm.dev - q : std::numeric_limits<double>::infinity();
            if (!vm.ok) {
                side = 0;
                f1 = q;   // treat as far above: bisect-like
            } else {
                lim1 = vm.limited;
                y1 = vm.y;
                if (side == 1)
                    f0 *= 0.5;
                side = 1;
            }
        } else {
            x0 = xm;
            f0 = vm.dev - q;
            warm0 = vm.y;
            if (side == -1)
                f1 *= 0.5;
            side = -1;
        }
        root = std::fabs(f0) < std::fabs(f1) ? x0 : x1;
        rootLimited = root == x1 && lim1;
        rootY = root == x1 ? y1 : warm0;
    }
    // The check before publishing: the deviance at the root, solved afresh from the point
    // estimate as well, is q to 1e-6.
    const ProfileValue check = P.at(root, P.y0);
    const ProfileValue again = P.at(root, rootY);
    const VecX moved = P.y0.array() + 0.2;
    const ProfileValue third = P.at(root, moved);
    const ProfileValue &best2 = check.ok && (!again.ok || check.dev < again.dev) ? check : again;
    const ProfileValue &best = third.ok && (!best2.ok || third.dev < best2.dev) ? third : best2;
    const bool limitedRoot =
        rootLimited || best.limited || check.limited || again.limited || third.limited;
    if (!best.ok || std::fabs(best.dev - q) > 1e-6) {
        // Where K's range is met the maximum may not settle; if lifting the range takes the
        // deviance below q, the limit made this side: it is open.
        if (P.lHatWide <= P.lHat + kAtLimit && limitedRoot &&
            P.relaxed(root, best.ok ? best.y : P.y0) < q - kLimitEffect)
            return out;
        out.determined = false;
        return out;
    }
    // A root where a range limit holds the maximum down is made by the limit, not by the
    // data: with the ranges lifted the deviance there is below q, so the side is open.
    if (P.lHatWide <= P.lHat + kAtLimit && limitedRoot &&
        P.relaxed(root, best.y) < q - kLimitEffect) {
        out.openAt = root;
        return out;
    }
    out.bound = root;
    return out;
}

//! The likelihood-ratio bound of ψ (a figure held as \a def holds it) around ψ̂ at x̂.
struct LrOut {
    Bound b;
    bool determined = true;   //!< false when a side could not be settled
};
//! The admissible ranges widened far beyond themselves (to tell a bound made by a limit).
Box wideBox(const Box &box)
{
    Box wide = box;
    for (int c : {int(PB), int(PK), int(PS)}) {
        wide.lo[c] -= 12;
        wide.hi[c] += 12;
    }
    return wide;
}

//! The maximum of l over the wide ranges from x̂ (l̂ itself unless x̂ sits at a limit).
double wideMaximum(Likelihood &L, const Box &box, const Vec &xh, double lHat,
                   const std::atomic<bool> *cancel)
{
    Reduced W(L, wideBox(box), Holding{}, xh);
    const SearchResult s = maximise(W, W.project(xh), cancel, 400, 2000);
    return s.ok ? std::max(lHat, s.f) : lHat;
}

LrOut lrBound(Likelihood &L, const Box &box, const FigureDef &def, const Vec &xh, double lHat,
              double lHatWide, double psi, double se, double q, const std::atomic<bool> *cancel)
{
    const Box wide = wideBox(box);
    // A profile that determines K from the others (F near 1) ranges over the wide K.
    const bool fixesK = def.how.elimK;
    Profile P{L,
              Reduced(L, fixesK ? wide : box, def.how, xh),
              Reduced(L, wide, def.how, xh),
              lHat,
              lHatWide,
              cancel,
              {}};
    P.y0 = P.R.project(xh);
    double wlo, whi;
    walkRange(def, box, psi, wlo, whi);
    LrOut out;
    for (double dir : {-1.0, 1.0}) {
        Side sd;
        try {
            sd = lrSide(P, psi, se, q, dir, dir < 0 ? wlo : whi);
        } catch (const Exhausted &) {
            sd.determined = false;
        }
        (dir < 0 ? out.b.low : out.b.high) = sd.bound;
        if (!sd.determined)
            out.determined = false;
        P.budget = P.evaluations + 4000;
    }
    return out;
}

//! The Kolmogorov criterion as the results table computes it, with the fit's warranty law.
void kolmogorov(const Data &d, const Law &law, double Izd, double K, double A, double B,
                double &crit, QString &verdict)
{
    const double n = d.n;
    double D = 0, e = 0, fPrev = 0, m = 0;
    // The failures at 0 h count at the resolution t0, before every other.
    const size_t first = d.n0 > 0 ? 0 : 1;
    for (size_t jj = first; jj < d.t.size() + 1; ++jj) {
        const double tj = jj == 0 ? d.t0 : d.t[jj - 1];
        const double cj = jj == 0 ? d.n0 : d.c[jj - 1];
        const double f = weibCDF(A, B, tj);
        const double g = law.empirical ? 1 - law.survival(tj) : CDF_Gauss(law.mu, law.sigma, tj);
        for (int c = 0; c < int(cj); ++c) {
            e += 1 / n;
            m += (f - fPrev) * (1 - g);
            fPrev = f;
            const double Fm = m * Izd * K / n;
            if (std::fabs(e - Fm) > D)
                D = std::fabs(e - Fm);
        }
    }
    crit = D * std::sqrt(n);
    verdict = crit < 1.3581 ? QStringLiteral(" <1.3581(0.05)") : QStringLiteral(" >1.3581(0.05)");
}

Gof goodnessOfFit(const MleInput &in, const Data &d, const Law &law, const MleResult &r)
{
    Gof g;
    kolmogorov(d, law, in.Izd_Prived, r.K, r.A, r.B, g.kolmogorov, g.kolmogorovVerdict);
    // Cells as the histogram counts them: a failure up to 0.1 h past a bound still
    // belongs to the interval ending there; the tail beyond the last bound is one more
    // cell with no failures.
    const size_t m = std::min(in.histBounds.size(), in.histCounts.size());
    if (m == 0)
        return g;
    const double NK = in.Izd_Prived * r.K;
    double Jprev = 0;
    std::vector<double> E, O;
    for (size_t i = 0; i < m; ++i) {
        const double J = integralJ(r.A, r.B, law, in.histBounds[i] + 0.1);
        E.push_back(NK * (J - Jprev));
        O.push_back(in.histCounts[i]);
        Jprev = J;
    }
    E.push_back(NK * std::max(0.0, r.I - Jprev));
    O.push_back(0);
    g.cells = int(E.size());
    for (size_t i = 0; i < E.size(); ++i) {
        if (!(E[i] > 0))
            continue;   // a cell the model cannot reach holds no failure (refused earlier)
        g.chi2 += (O[i] - E[i]) * (O[i] - E[i]) / E[i];
        g.deviance += 2 * ((O[i] > 0 ? O[i] * std::log(O[i] / E[i]) : 0.0) - (O[i] - E[i]));
    }
    g.df = g.cells - r.parameters;
    if (g.df >= 1) {
        const boost::math::chi_squared chi(g.df);
        g.chi2P = boost::math::cdf(boost::math::complement(chi, g.chi2));
        g.devianceP = boost::math::cdf(boost::math::complement(chi, std::max(0.0, g.deviance)));
    }
    return g;
}

Law makeLaw(const MleInput &in)
{
    if (in.law == WarrantyLaw::Empirical) {
        if (in.warrantyTimes.empty())
            throw UserError(mtxt::noWarrantyFile());
        return Law::fromTimes(in.warrantyTimes);
    }
    Law l;
    l.mu = in.Sred;
    l.sigma = in.SKO;
    return l;
}

void validate(const MleInput &in)
{
    if (in.failures.empty())
        throw UserError(mtxt::noFailures());
    if (!(in.Izd_Prived > 0) || !std::isfinite(in.Izd_Prived) || !(in.fleet > 0) ||
        !std::isfinite(in.fleet))
        throw UserError(mtxt::badFleet());
    if (!(in.level > 0 && in.level < 1))
        throw UserError(mtxt::badLevel());
    if (!(in.tGar > 0) || !std::isfinite(in.tGar))
        throw UserError(mtxt::badTGar());
    if (!(in.SKO > 0) || !std::isfinite(in.SKO) || !std::isfinite(in.Sred))
        throw UserError(mtxt::badSKO());
}

//! F below this over the warranty range leaves only K·A and B determined.
constexpr double kSmallF = 0.05;

//! The upper end of the warranty range: Sred + 2·SKO, or the 97.5 % quantile of the end times.
double warrantyHigh(const Law &law)
{
    if (!law.empirical)
        return law.mu + 2 * law.sigma;
    const double want = 0.025 * law.wTotal;
    for (size_t i = law.w.size(); i-- > 0;)
        if (law.wAbove[i] >= want)
            return law.w[i];
    return law.w.empty() ? 0 : law.w.front();
}

//! Starting point: the best of a coarse grid of shapes and scales, K profiled.
Vec startPoint(Likelihood &L, const Box &box, const Vec &base, const Data &d)
{
    Reduced R(L, box, Holding{}, base);
    const double tMid = d.t[d.t.size() / 2];
    double best = -std::numeric_limits<double>::infinity();
    Vec bestX = base;
    for (double B : {0.3, 0.5, 0.8, 1.2, 2.0, 3.5, 6.0}) {
        for (double eta : {0.3, 1.0, 3.0, 10.0, 30.0, 100.0, 1000.0}) {
            Vec x = base;
            x[PB] = std::log(B);
            x[PA] = -B * std::log(eta * tMid);
            VecX y = R.project(x), g;
            MatX H;
            double f;
            Vec full;
            if (R.evaluate(y, f, g, H, &full) && f > best) {
                best = f;
                bestX = full;
            }
        }
    }
    return bestX;
}

}   // namespace

MleResult fitMle(const MleInput &in, const std::atomic<bool> *cancel)
{
    validate(in);
    const Law law = makeLaw(in);
    Data data = combine(in, law);
    if (data.t.size() + (data.n0 > 0 ? 1 : 0) < 2)
        throw UserError(mtxt::oneTime());
    const bool normal = in.law == WarrantyLaw::Normal;
    const bool fitMu = normal && in.fitSred, fitSigma = normal && in.fitSKO;
    Likelihood L(data, law, in.Izd_Prived, fitMu, fitSigma);
    const Box box = defaultBox(in);

    Vec base = Vec::Zero();
    base[PMu] = normal ? in.Sred : 0;
    base[PS] = normal ? std::log(in.SKO) : 0;

    // The point estimate: K in closed form, clamped to its range.
    Vec x0 = startPoint(L, box, base, data);
    Reduced R(L, box, Holding{}, x0);
    SearchResult s = maximise(R, R.project(x0), cancel);
    if (!s.ok)
        throw UserError(mtxt::noStart());
    if (!s.converged) {
        // One more bounded round from where the first one stopped.
        SearchResult again = maximise(R, s.y, cancel, 400, 2000);
        if (again.ok && again.f >= s.f) {
            again.iterations += s.iterations;
            s = again;
        }
    }
    const Vec xh = s.x;

    MleResult r;
    r.n = int(data.n);
    r.parameters = 3 + (fitMu ? 1 : 0) + (fitSigma ? 1 : 0);
    r.A = std::exp(xh[PA]);
    r.B = std::exp(xh[PB]);
    r.K = std::exp(xh[PK]);
    // With the empirical law the boxes' figures stay the model's nominal warranty figures.
    r.Sred = fitMu ? xh[PMu] : in.Sred;
    r.SKO = fitSigma ? std::exp(xh[PS]) : in.SKO;
    r.I = L.istuff(xh).I;
    r.level = in.level;
    r.law = in.law;
    r.fleet = in.fleet;
    r.iterations = s.iterations;
    const Eval ev = L.eval(xh);
    r.loglik = ev.l;
    r.AIC = 2 * r.parameters - 2 * r.loglik;
    r.BIC = r.parameters * std::log(data.n) - 2 * r.loglik;
    r.limit = xh[PK] >= box.hi[PK] || xh[PK] <= box.lo[PK];
    // The score over the free parameters at the end (K's entry is zero unless clamped).
    {
        double gn = 0;
        for (int i = 0; i < NP; ++i) {
            if (i == PMu && !fitMu)
                continue;
            if (i == PS && !fitSigma)
                continue;
            if (i == PK && r.limit)
                continue;
            if (i == PB && (xh[PB] <= box.lo[PB] || xh[PB] >= box.hi[PB]))
                continue;
            gn = std::max(gn, std::fabs(ev.g[i]));
        }
        r.gradientNorm = gn;
    }

    // Fisher: the inverse of the observed information over the fitted parameters.
    std::vector<int> act = {PA, PB, PK};
    if (fitMu)
        act.push_back(PMu);
    if (fitSigma)
        act.push_back(PS);
    const int na = int(act.size());
    MatX info(na, na);
    for (int i = 0; i < na; ++i)
        for (int j = 0; j < na; ++j)
            info(i, j) = -ev.H(act[size_t(i)], act[size_t(j)]);
    Mat cov = Mat::Zero();
    bool fisherOk = false;
    // At a range limit the score is not zero and the information says nothing of the
    // bounds; a (numerically) singular information determines none either.
    const bool atLimit = r.limit || xh[PB] <= box.lo[PB] || xh[PB] >= box.hi[PB];
    if (!atLimit) {
        Eigen::LLT<MatX> llt(info);
        const VecX dg = info.diagonal().cwiseMax(1e-300).cwiseSqrt().cwiseInverse();
        const MatX scaled = dg.asDiagonal() * info * dg.asDiagonal();
        Eigen::SelfAdjointEigenSolver<MatX> eig(scaled, Eigen::EigenvaluesOnly);
        const bool regular = eig.info() == Eigen::Success &&
                             eig.eigenvalues().minCoeff() > 1e-12 * eig.eigenvalues().maxCoeff();
        if (regular && llt.info() == Eigen::Success) {
            const MatX c = llt.solve(MatX::Identity(na, na));
            if (c.allFinite()) {
                fisherOk = true;
                for (int i = 0; i < na; ++i)
                    for (int j = 0; j < na; ++j)
                        cov(act[size_t(i)], act[size_t(j)]) = c(i, j);
                r.covariance.assign(c.data(), c.data() + c.size());
                r.corrLnALnK = c(0, 2) / std::sqrt(c(0, 0) * c(2, 2));
            }
        }
    }

    const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - in.level) / 2);
    const double q = boost::math::quantile(boost::math::chi_squared(1), in.level);
    bool effortShort = false;
    const double lWide = in.lrBounds ? wideMaximum(L, box, xh, r.loglik, cancel) : r.loglik;
    for (FigureDef def : figureDefs(in, fitMu, fitSigma)) {
        if (cancel && cancel->load())
            throw Cancelled();
        Figure fig;
        fig.key = def.key;
        double psi;
        Vec grad;
        const bool has = figureValue(def, L, xh, psi, grad);
        if (has)
            def.how.elimK = eliminatesK(def, psi, xh);
        auto out = [&](double v) { return def.logScale ? std::exp(v) : v; };
        double se = std::numeric_limits<double>::quiet_NaN();
        if (has) {
            fig.estimate = out(psi);
            fig.fisherDetermined = false;
            if (fisherOk) {
                se = std::sqrt(std::max(0.0, grad.dot(cov * grad)));
                // Wald bounds wider than the figure's whole walk range say nothing.
                if (std::isfinite(se) && (!def.logScale || z * se < kWalk)) {
                    fig.fisherDetermined = true;
                    const double lo = out(psi - z * se), hi = out(psi + z * se);
                    // A positive figure's lower bound that underflows to 0 is no bound.
                    if (std::isfinite(lo) && (!def.logScale || lo > 0))
                        fig.fisher.low = lo;
                    if (std::isfinite(hi))
                        fig.fisher.high = hi;
                }
            }
            if (in.lrBounds) {
                const LrOut b = lrBound(L, box, def, xh, r.loglik, lWide, psi, se, q, cancel);
                if (b.b.low)
                    fig.lr.low = out(*b.b.low);
                if (b.b.high)
                    fig.lr.high = out(*b.b.high);
                fig.lrDetermined = b.determined;
                if (!b.determined)
                    effortShort = true;
            }
        } else {
            fig.fisherDetermined = fig.lrDetermined = false;
        }
        r.figures.push_back(fig);
        if (def.key == u"per_product") {
            Figure fc;
            fc.key = QStringLiteral("fleet_claims");
            auto scale = [&](const std::optional<double> &v) {
                return v ? std::optional<double>(*v * in.fleet) : std::nullopt;
            };
            fc.estimate = scale(fig.estimate);
            fc.fisherDetermined = fig.fisherDetermined;
            fc.lrDetermined = fig.lrDetermined;
            fc.fisher = {scale(fig.fisher.low), scale(fig.fisher.high)};
            fc.lr = {scale(fig.lr.low), scale(fig.lr.high)};
            r.figures.push_back(fc);
        }
    }

    // Ridge: the fitted F stays small over the warranty range, so that K·F ≈ K·A·t^B, and
    // K is not determined (at its range's end, no upper likelihood-ratio bound, or ln A
    // and ln K moving together).
    const Figure *Kf = r.figure(QStringLiteral("K"));
    const bool kOpen = r.limit || !fisherOk || std::fabs(r.corrLnALnK) > 0.99 ||
                       (in.lrBounds && Kf && !Kf->lr.high);
    r.ridge = kOpen && weibCDF(r.A, r.B, warrantyHigh(L.lawAt(xh))) < kSmallF;
    if (r.ridge)
        r.ridgeMessage = mtxt::ridge();
    if (r.limit)
        r.ridgeMessage = (r.ridgeMessage + mtxt::limit()).trimmed();
    if (!s.converged)
        r.effortMessage = mtxt::notConverged();
    else if (effortShort)
        r.effortMessage = mtxt::boundsEffort();
    if (fitMu || fitSigma) {
        bool weak = false;
        for (const char *key : {"Sred", "SKO"}) {
            const Figure *f = r.figure(QString::fromLatin1(key));
            if (!f || !f->estimate)
                continue;
            const Bound &b = in.lrBounds ? f->lr : f->fisher;
            if (!b.low || !b.high || *b.high - *b.low > 0.5 * *f->estimate)
                weak = true;
        }
        if (weak)
            r.warrantyMessage = mtxt::warrantyWeak();
    }
    if (data.n0 > 0)
        r.zeroMessage = mtxt::zeroHours(int(data.n0), in.dec);
    r.gof = goodnessOfFit(in, L.data(), L.lawAt(xh), r);
    return r;
}

std::vector<CauseFit> fitCauses(const MleInput &in, int minFailures,
                                const std::atomic<bool> *cancel)
{
    std::map<int, int> counts;
    for (const Failure &f : in.failures)
        ++counts[f.cause];
    std::vector<CauseFit> out;
    for (const auto &[cause, n] : counts) {
        if (n < minFailures)
            continue;
        CauseFit cf;
        cf.cause = cause;
        cf.n = n;
        out.push_back(std::move(cf));
    }
    // The causes are independent fits: two threads share them out in turn.
    std::atomic<size_t> next{0};
    std::exception_ptr stopped;
    std::mutex m;
    auto work = [&] {
        for (size_t i; (i = next.fetch_add(1)) < out.size();) {
            CauseFit &cf = out[i];
            MleInput sub = in;
            sub.failures.clear();
            for (const Failure &f : in.failures)
                if (f.cause == cf.cause)
                    sub.failures.push_back(f);
            // The histogram counts are those of all causes: no cell statistics per cause.
            sub.histBounds.clear();
            sub.histCounts.clear();
            try {
                cf.result = fitMle(sub, cancel);
            } catch (const UserError &e) {
                cf.error = e.message();
            } catch (...) {
                const std::lock_guard<std::mutex> lock(m);
                if (!stopped)
                    stopped = std::current_exception();
                next.store(out.size());
            }
        }
    };
    if (out.size() > 1) {
        std::thread helper(work);
        work();
        helper.join();
    } else {
        work();
    }
    if (stopped)
        std::rethrow_exception(stopped);
    return out;
}

std::vector<double> bandTimes(double first, double last, int n)
{
    std::vector<double> t;
    if (!(first > 0) || !std::isfinite(first) || !std::isfinite(last) || n < 1)
        return t;
    const double l0 = std::log(first), l1 = std::log(std::max(first, last));
    const double step = l1 > l0 && n > 1 ? (l1 - l0) / (n - 1) : 1;
    t.reserve(size_t(n));
    for (int j = 0; j < n; ++j)
        t.push_back(std::exp(l0 + step * j));
    return t;
}

std::vector<BandPoint> cumulativeBand(const MleInput &in, const MleResult &r,
                                      const std::vector<double> &times,
                                      const std::atomic<bool> *cancel)
{
    validate(in);
    const Law law = makeLaw(in);
    const bool normal = in.law == WarrantyLaw::Normal;
    const bool fitMu = normal && in.fitSred, fitSigma = normal && in.fitSKO;
    Likelihood L(combine(in, law), law, in.Izd_Prived, fitMu, fitSigma);
    const Box box = defaultBox(in);
    // The fit's point, as fitMle holds it.
    Vec xh = Vec::Zero();
    xh[PA] = std::log(r.A);
    xh[PB] = std::log(r.B);
    xh[PK] = std::log(r.K);
    xh[PMu] = normal ? r.Sred : 0;
    xh[PS] = normal ? std::log(r.SKO) : 0;
    const Eval ev = L.eval(xh);

    std::vector<int> act = {PA, PB, PK};
    if (fitMu)
        act.push_back(PMu);
    if (fitSigma)
        act.push_back(PS);
    const size_t na = act.size();
    Mat cov = Mat::Zero();
    const bool fisherOk = r.covariance.size() == na * na;
    if (fisherOk)
        for (size_t i = 0; i < na; ++i)
            for (size_t j = 0; j < na; ++j)
                cov(act[i], act[j]) = r.covariance[i + j * na];   // Eigen's column order
    const double z = boost::math::quantile(boost::math::normal(), 1 - (1 - r.level) / 2);
    const double q = boost::math::quantile(boost::math::chi_squared(1), r.level);

    const double lWide = in.lrBounds ? wideMaximum(L, box, xh, ev.l, cancel) : ev.l;
    std::vector<BandPoint> out;
    out.reserve(times.size());
    for (double t : times) {
        if (cancel && cancel->load())
            throw Cancelled();
        BandPoint bp;
        bp.t = t;
        FigureDef def{QString(), {Hold::MtGar, -1, 0, std::log(t)}};
        double psi;
        Vec grad;
        if (!(t > 0) || !std::isfinite(t) || !ev.ok || !figureValue(def, L, xh, psi, grad)) {
            out.push_back(bp);
            continue;
        }
        def.how.elimK = eliminatesK(def, psi, xh);
        bp.estimate = std::exp(psi);
        double se = std::numeric_limits<double>::quiet_NaN();
        if (fisherOk) {
            se = std::sqrt(std::max(0.0, grad.dot(cov * grad)));
            if (std::isfinite(se)) {
                const double lo = std::exp(psi - z * se), hi = std::exp(psi + z * se);
                if (lo > 0)
                    bp.fisher.low = lo;
                if (std::isfinite(hi))
                    bp.fisher.high = hi;
            }
        }
        if (in.lrBounds) {
            const Bound b = lrBound(L, box, def, xh, ev.l, lWide, psi, se, q, cancel).b;
            if (b.low)
                bp.lr.low = std::exp(*b.low);
            if (b.high)
                bp.lr.high = std::exp(*b.high);
        }
        out.push_back(bp);
    }
    return out;
}

namespace detail {

ProfileCheck profileAt(const MleInput &in, const MleResult &r, const QString &key, double value,
                       bool wideToo)
{
    ProfileCheck out;
    const Law law = makeLaw(in);
    const bool normal = in.law == WarrantyLaw::Normal;
    const bool fitMu = normal && in.fitSred, fitSigma = normal && in.fitSKO;
    Likelihood L(combine(in, law), law, in.Izd_Prived, fitMu, fitSigma);
    const Box box = defaultBox(in);
    Vec xh = Vec::Zero();
    xh[PA] = std::log(r.A);
    xh[PB] = std::log(r.B);
    xh[PK] = std::log(r.K);
    xh[PMu] = normal ? r.Sred : 0;
    xh[PS] = normal ? std::log(r.SKO) : 0;
    const QString k = key == u"fleet_claims" ? QStringLiteral("per_product") : key;
    const double v = key == u"fleet_claims" ? value / in.fleet : value;
    for (FigureDef def : figureDefs(in, fitMu, fitSigma)) {
        if (def.key != k)
            continue;
        double psiHat;
        Vec grad;
        if (!figureValue(def, L, xh, psiHat, grad))
            return out;
        def.how.elimK = eliminatesK(def, psiHat, xh);
        const double psi = def.logScale ? std::log(v) : v;
        walkRange(def, box, psiHat, out.lo, out.hi);
        if (def.logScale) {
            out.lo = std::exp(out.lo);
            out.hi = std::exp(out.hi);
        }
        const double lHat = L.eval(xh).l;
        const double lWide = wideToo ? wideMaximum(L, box, xh, lHat, nullptr) : lHat;
        const Box wide = wideBox(box);
        Profile P{L,
                  Reduced(L, def.how.elimK ? wide : box, def.how, xh),
                  Reduced(L, wide, def.how, xh),
                  lHat,
                  lWide,
                  nullptr,
                  {}};
        P.y0 = P.R.project(xh);
        P.budget = 1 << 30;
        // From the estimate and from a start moved off it; the higher maximum counts.
        ProfileValue a = P.at(psi, P.y0);
        VecX moved = P.y0.array() + 0.2;
        ProfileValue b = P.at(psi, moved);
        const ProfileValue &best = a.ok && (!b.ok || a.dev <= b.dev) ? a : b;
        out.ok = best.ok;
        out.deviance = best.dev;
        out.limited = best.limited;
        if (wideToo)
            out.wideDeviance = P.relaxed(psi, best.ok ? best.y : P.y0);
        out.estimateAtLimit = lWide > lHat + kAtLimit;
        return out;
    }
    return out;
}

}   // namespace detail

void publishMaxPr(State &s, const MleResult &r, const MleInput &in)
{
    Mod_Weib &M = s.MMaxPr;
    const Law law = makeLaw(in);
    M.A = r.A;
    M.B = r.B;
    M.K_powtor = r.K;
    M.Sred = r.Sred;
    M.SKO = r.SKO;
    const size_t m = s.Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.F_norm.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    double t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        const double mid = (t1 + t2) / 2;
        M.F_Weib[i] = weibCDF2(r.A, r.B, t1, t2);
        M.F_norm[i] = law.empirical ? 1 - law.survival(mid) : CDF_Gauss(r.Sred, r.SKO, mid);
        M.Kol_F_priv[i] = s.Izd_Prived * r.K * M.F_Weib[i] * (1 - M.F_norm[i]);
        t1 = t2;
    }
    M.Executed = true;
}

MleInput inputFromState(const State &s)
{
    MleInput in;
    in.failures.reserve(s.MasProbl.size());
    for (size_t i = 0; i < s.MasProbl.size(); ++i)
        in.failures.push_back({s.MasProbl[i].time, s.MasProbl[i].chey, s.MasProbl.line(i)});
    in.Izd_Prived = s.Izd_Prived;
    in.Sred = s.Sred;
    in.SKO = s.SKO;
    in.fitSred = s.Sred_Opt;
    in.fitSKO = s.SKO_Opt;
    in.tGar = s.tGar;
    in.warrantyTimes = s.MasTGarant;
    in.fleet = s.Kol_Izd_All;
    for (const Hist_Rec &h : s.Hist_Arr) {
        in.histBounds.push_back(h.time);
        in.histCounts.push_back(h.Sum);
    }
    return in;
}

// ---------------------------------------------------------------------------------------

namespace {

QJsonValue jnum(const std::optional<double> &v)
{
    return v && std::isfinite(*v) ? QJsonValue(*v) : QJsonValue(QJsonValue::Null);
}

QJsonValue jnum(double v) { return jnum(std::optional<double>(v)); }

}   // namespace

QJsonObject mleJson(const MleResult &r)
{
    QJsonObject est, fisher, lr;
    for (const Figure &f : r.figures) {
        est.insert(f.key, jnum(f.estimate));
        fisher.insert(f.key, QJsonArray{jnum(f.fisher.low), jnum(f.fisher.high)});
        lr.insert(f.key, QJsonArray{jnum(f.lr.low), jnum(f.lr.high)});
    }
    QJsonObject gof{
        {QStringLiteral("kolmogorov"), jnum(r.gof.kolmogorov)},
        {QStringLiteral("kolmogorov_verdict"), r.gof.kolmogorovVerdict},
        {QStringLiteral("chi2"), jnum(r.gof.chi2)},
        {QStringLiteral("deviance"), jnum(r.gof.deviance)},
        {QStringLiteral("cells"), r.gof.cells},
        {QStringLiteral("df"), r.gof.df},
        {QStringLiteral("chi2_p"), jnum(r.gof.chi2P)},
        {QStringLiteral("deviance_p"), jnum(r.gof.devianceP)},
    };
    return QJsonObject{
        {QStringLiteral("estimates"), est},
        {QStringLiteral("fisher"), fisher},
        {QStringLiteral("lr"), lr},
        {QStringLiteral("A"), jnum(r.A)},
        {QStringLiteral("loglik"), jnum(r.loglik)},
        {QStringLiteral("AIC"), jnum(r.AIC)},
        {QStringLiteral("BIC"), jnum(r.BIC)},
        {QStringLiteral("n"), r.n},
        {QStringLiteral("parameters"), r.parameters},
        {QStringLiteral("iterations"), r.iterations},
        {QStringLiteral("gradient_norm"), jnum(r.gradientNorm)},
        {QStringLiteral("level"), jnum(r.level)},
        {QStringLiteral("law"),
         r.law == WarrantyLaw::Normal ? QStringLiteral("normal") : QStringLiteral("empirical")},
        {QStringLiteral("fleet"), jnum(r.fleet)},
        {QStringLiteral("ridge"), r.ridge},
        {QStringLiteral("limit"), r.limit},
        {QStringLiteral("ridge_message"), r.ridgeMessage},
        {QStringLiteral("warranty_message"), r.warrantyMessage},
        {QStringLiteral("corr_lnA_lnK"), jnum(r.corrLnALnK)},
        {QStringLiteral("gof"), gof},
    };
}

}   // namespace obr::mle

namespace obr::mle {

QJsonArray causesJson(const std::vector<CauseFit> &fits, const std::vector<QString> &names)
{
    QJsonArray out;
    for (const CauseFit &c : fits) {
        QJsonObject o = c.result ? mleJson(*c.result) : QJsonObject();
        o.insert(QStringLiteral("cause"), c.cause);
        o.insert(QStringLiteral("name"), c.cause >= 0 && size_t(c.cause) < names.size()
                                             ? names[size_t(c.cause)]
                                             : QString());
        o.insert(QStringLiteral("n"), c.n);
        if (!c.result)
            o.insert(QStringLiteral("error"), c.error);
        out.append(o);
    }
    return out;
}

}   // namespace obr::mle
