// SPDX-License-Identifier: MIT
// The three searches: spiral descent and the cyclic ("Newton") search of the Pearson
// objective, and the Smirnov-criterion fit.
#include "fits.h"
#include "engines.h"
#include "eval_team.h"
#include "walk.h"
#include "model/errors.h"
#include "model/stopwatch.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

namespace obr {

using detail::PearsonEngine;
using detail::SmirnovEngine;
using detail::Walker;
using detail::WalkResult;
using detail::WalkStop;

namespace {

const QString kNewton = QStringLiteral("по Пирсону методом Ньютона");
const QString kSpiral = QStringLiteral("по Пирсону методом спирального спуска");
const QString kSmirnov = QStringLiteral("по Смирнову");

void checkCoefficient(double k, FitKind kind)
{
    if (!(k > 1) || !std::isfinite(k))
        throw UserError(fittxt::coefficientTooSmall(QString::number(k, 'g', 10), {}));
    checkStepPasses(kind, k, {}, u'.');
}

//! Names of the search parameters in the log lines.
QString parameterName(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("параметр формы B");
    case 1:
        return QStringLiteral("коэффициент A");
    case 2:
        return QStringLiteral("коэффициент повторности");
    case 3:
        return QStringLiteral("средний срок гарантии");
    default:
        return QStringLiteral("СКО срока гарантии");
    }
}

/*! A parameter that ends within \a tol of a bound of its range was stopped by the bound,
 *  not by the objective. The strict walks stop before a bound and close in on it as their
 *  steps shrink, ending within a few tolerances of it; the spiral walk goes back a step
 *  from a position over the bound each time, and ends within two first steps of it. */
void noteBound(std::vector<BoundHit> &hits, int kind, double x, double lo, double hi, double tol,
               bool lowerBounded)
{
    auto near = [&](double b) { return std::fabs(x - b) <= std::max(tol, 1e-9 * std::fabs(b)); };
    if (near(hi))
        hits.push_back({parameterName(kind), hi, true});
    else if (lowerBounded && near(lo))
        hits.push_back({parameterName(kind), lo, false});
}

void reportBounds(const std::vector<BoundHit> &hits, const QString &method, const LogSink &log,
                  FitStats *stats, QChar dec)
{
    if (log)
        for (const BoundHit &h : hits)
            log(fittxt::atBound(method, h, dec));
    if (stats)
        stats->atBound = hits;
}

//! Which parameter index j of a Pearson vector stands for (0 B, 1 A, 2 K, 3 mean, 4 SKO).
int pearsonKind(PearsonEngine::Param p) { return int(p); }

void checkData(const State &s)
{
    if (s.MasProbl.empty() || s.Hist_Arr.empty() || s.Kol_izw <= 0)
        throw UserError(txt::noFailures);
}

[[noreturn]] void objectiveFailed(Criterion c, const QString &method)
{
    throw UserError(c == Criterion::Standard ? fittxt::standardZeroCount()
                                             : fittxt::notFinite(method));
}

//! The per-interval arrays of a fitted model, with the globals Sred and SKO.
void finalPass(const State &s, Mod_Weib &M, const QString &method)
{
    const size_t m = s.Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    if (M.F_norm.size() < m)
        M.F_norm.resize(m);
    double t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = s.Hist_Arr[i].time;
        M.F_Weib[i] = weibCDF2(M.A, M.B, t1, t2);
        M.F_norm[i] = CDF_Gauss(s.Sred, s.SKO, (t1 + t2) / 2);
        M.Kol_F_priv[i] = s.Izd_Prived * M.K_powtor * M.F_Weib[i] * (1 - M.F_norm[i]);
        if (!std::isfinite(M.Kol_F_priv[i]))
            throw UserError(fittxt::notFinite(method));
        t1 = t2;
    }
}

bool stepsBelow(const double *h, const double *ee, int np)
{
    for (int k = 0; k < np; ++k)
        if (!(std::fabs(h[k]) < ee[k]))
            return false;
    return true;
}

//! The search vector of a Pearson fit (index 0 shape B, 1 coefficient A, 2 K_powtor,
//! then the warranty mean and/or deviation when they are fitted).
struct PearsonVector {
    int np = 3;
    std::array<double, 5> x{}, lo{}, hi{}, h{}, ee{};
    std::array<PearsonEngine::Param, 5> param{PearsonEngine::PB, PearsonEngine::PA,
                                              PearsonEngine::PK, PearsonEngine::PMu,
                                              PearsonEngine::PSig};
    double mu(const State &s) const { return s.Sred_Opt ? x[3] : s.Sred; }
    double sig(const State &s) const
    {
        if (s.Sred_Opt && s.SKO_Opt)
            return x[4];
        if (s.SKO_Opt)
            return x[3];
        return s.SKO;
    }
    //! Writes the fitted warranty mean and deviation into the globals.
    void publishWarranty(State &s) const
    {
        if (s.Sred_Opt && s.SKO_Opt) {
            s.Sred = x[3];
            s.SKO = x[4];
        } else if (s.Sred_Opt) {
            s.Sred = x[3];
        } else if (s.SKO_Opt) {
            s.SKO = x[3];
        }
    }

    /*! Publishes the point into \a M and the warranty globals, then fills the model's
     *  per-interval arrays; when those cannot be computed the globals are restored and
     *  the model stays not executed. */
    void publish(State &s, Mod_Weib &M, const QString &method) const
    {
        const double oldSred = s.Sred, oldSKO = s.SKO;
        M.A = x[1];
        M.B = x[0];
        M.K_powtor = x[2];
        publishWarranty(s);
        M.SKO = s.SKO;
        M.Sred = s.Sred;
        try {
            finalPass(s, M, method);
        } catch (...) {
            s.Sred = oldSred;
            s.SKO = oldSKO;
            throw;
        }
        M.Executed = true;
    }
};

//! Ends a fit between passes when its caller asked it to stop.
void throwIfCancelled(const CancelFlag *cancel)
{
    if (cancel && cancel->load(std::memory_order_relaxed))
        throw Cancelled();
}

//! Fills the work counters of a finished fit.
template <class Engine>
void reportStats(FitStats *stats, const Engine &eng, int64_t passes, int64_t stepEvals, double secs)
{
    if (!stats)
        return;
    stats->evaluations = eng.evaluations();
    stats->saturatedTerms = eng.saturatedTerms();
    stats->passes = passes;
    stats->stepEvaluations = stepEvals;
    stats->seconds = secs;
}

/*! Sets the engine to the start point of \a v and returns the objective there (evaluated
 *  along K_powtor, which evaluates every part). A value that is not finite ends the fit
 *  with the criterion's message. */
double startPearson(PearsonEngine &eng, const PearsonVector &v, const State &s, Criterion c,
                    const QString &method)
{
    eng.setPoint(v.x[1], v.x[0], v.x[2], v.mu(s), v.sig(s));
    eng.setMoving(PearsonEngine::PK);
    const double f = eng.eval(v.x[2]);
    if (!std::isfinite(f))
        objectiveFailed(c, method);
    return f;
}

struct Row {
    double start, lo, hi, h, ee;
};

void setRows(PearsonVector &v, const State &s, const Row &b, const Row &a, const Row &k,
             const Row &mean, const Row &devWithMean, const Row &devAlone)
{
    auto put = [&](int i, const Row &r, PearsonEngine::Param p) {
        v.x[i] = r.start;
        v.lo[i] = r.lo;
        v.hi[i] = r.hi;
        v.h[i] = r.h;
        v.ee[i] = r.ee;
        v.param[i] = p;
    };
    put(0, b, PearsonEngine::PB);
    put(1, a, PearsonEngine::PA);
    put(2, k, PearsonEngine::PK);
    v.np = 3;
    if (s.Sred_Opt && s.SKO_Opt) {
        put(3, mean, PearsonEngine::PMu);
        put(4, devWithMean, PearsonEngine::PSig);
        v.np = 5;
    } else if (s.Sred_Opt) {
        put(3, mean, PearsonEngine::PMu);
        v.np = 4;
    } else if (s.SKO_Opt) {
        put(3, devAlone, PearsonEngine::PSig);
        v.np = 4;
    }
}

}   // namespace

// ---------------------------------------------------------------------------------------

void SpirSp_Execute(State &s, double KdivSpir, Criterion c, const LogSink &log, FitStats *stats,
                    QChar dec, const CancelFlag *cancel)
{
    checkCoefficient(KdivSpir, FitKind::Spiral);
    checkData(s);
    s.MPirsS.Executed = false;
    const Stopwatch clock;

    // Shape B, coefficient A, K_powtor, mean, deviation: start, (no lower bound), upper
    // bound, first step, tolerance. A step that would make a parameter zero or negative
    // is refused instead of a lower bound.
    PearsonVector v;
    setRows(v, s, {0.001, 0, 7, 0.001, 1e-7}, {0.001, 0, 10, 5e-5, 1e-8}, {1.0, 0, 30, 0.001, 1e-6},
            {400, 0, 3000, 0.25, 0.01}, {100, 0, 900, 0.5, 0.1}, {100, 0, 900, 0.5, 0.1});

    const std::array<double, 5> firstStep = v.h;
    PearsonEngine eng(s, c);
    double B_ss = startPearson(eng, v, s, c, kSpiral);

    Walker<PearsonEngine> walker(eng);
    int64_t passes = 0, stepEvals = 1;
    // Every step shrinks by KdivSpir per pass; the passes end when each is below its
    // tolerance. With the default 1.00025 that is at most
    // ceil(ln(0.001 / 1e-7) / ln(1.00025)) = 36,846 passes (the shape's step decides).
    // Each walk ends: it moves by a fixed nonzero step between a refused step at zero and
    // the upper bound, and a step that would not move the parameter is refused.
    for (;;) {
        ++passes;
        throwIfCancelled(cancel);
        for (int j = 0; j < v.np; ++j) {
            eng.setMoving(v.param[j]);
            const WalkResult r = walker.spiral(v.x[j], v.h[j], B_ss, v.hi[j]);
            stepEvals += r.why == WalkStop::Rise ? r.k : r.k - 1;
            if (r.stopEvaluated && !std::isfinite(r.fStop))
                objectiveFailed(c, kSpiral);
            // The walk keeps the value of the last accepted point while the parameter
            // goes one step back from the point before the last step. A walk that ends
            // above the bound keeps the value from one step earlier still.
            if (r.why == WalkStop::Over)
                B_ss = r.k >= 2 ? walker.f(r.k - 2) : B_ss;
            else
                B_ss = walker.f(r.k - 1);
            const double x = walker.pos(r.k - 1) - v.h[j];
            v.x[j] = x;
            eng.commit(x);
            v.h[j] = -v.h[j] / KdivSpir;
        }
        if (stepsBelow(v.h.data(), v.ee.data(), v.np))
            break;
    }

    v.publish(s, s.MPirsS, kSpiral);
    const double secs = clock.seconds();
    reportStats(stats, eng, passes, stepEvals, secs);
    if (log)
        log(fittxt::spiralDone(int64_t(secs)));
    std::vector<BoundHit> hits;
    for (int j = 0; j < v.np; ++j)
        noteBound(hits, pearsonKind(v.param[j]), v.x[j], 0, v.hi[j], 2 * firstStep[j], false);
    reportBounds(hits, kSpiral, log, stats, dec);
}

// ---------------------------------------------------------------------------------------

void Podbor_Weib_Pirson(State &s, double &Arez, double &Brez, double Kdiv_Pirs, Criterion c,
                        const LogSink &log, FitStats *stats, QChar dec, const CancelFlag *cancel)
{
    checkCoefficient(Kdiv_Pirs, FitKind::Newton);
    checkData(s);
    s.MPirsN.Executed = false;
    const Stopwatch clock;

    // Shape B, coefficient A, K_powtor, mean, deviation with the mean, deviation alone:
    // start, lower bound, upper bound, first step, tolerance.
    PearsonVector v;
    setRows(v, s, {1.0, 0.001, 200, 0.1, 1e-9}, {0.5, 0.001, 5, 0.001, 1e-9},
            {1.0, 0.1, 30, 0.1, 1e-8}, {500, 150, 3000, 1.0, 0.05}, {150, 30, 900, 1.0, 0.005},
            {150, 30, 900, 5.0, 0.01});

    PearsonEngine eng(s, c);
    double f_cur = startPearson(eng, v, s, c, kNewton);

    Walker<PearsonEngine> walker(eng);
    int64_t passes = 0, stepEvals = 1;
    // Every step shrinks by Kdiv_Pirs per pass; with the default 1.00025 the passes end
    // after at most ceil(ln(0.1 / 1e-9) / ln(1.00025)) = 73,690 passes (the shape's step
    // decides). Each walk ends: it moves strictly downhill by a fixed nonzero step inside
    // its bounds, and a step too small to move the parameter gives no improvement.
    // The point is published once at the end; the passes in between would publish the
    // same globals the evaluations do not read.
    for (;;) {
        ++passes;
        throwIfCancelled(cancel);
        for (int j = 0; j < v.np; ++j) {
            eng.setMoving(v.param[j]);
            const WalkResult r = walker.strict(v.x[j], v.h[j], f_cur, v.lo[j], v.hi[j]);
            stepEvals += r.k;
            if (!std::isfinite(r.fStop))
                objectiveFailed(c, kNewton);
            const double x = walker.pos(r.k - 1);
            f_cur = walker.f(r.k - 1);
            if (x != v.x[j]) {
                v.x[j] = x;
                eng.commit(x);
            }
            v.h[j] = -v.h[j] / Kdiv_Pirs;
        }
        if (stepsBelow(v.h.data(), v.ee.data(), v.np))
            break;
    }

    Arez = v.x[1];
    Brez = v.x[0];
    v.publish(s, s.MPirsN, kNewton);
    const double secs = clock.seconds();
    reportStats(stats, eng, passes, stepEvals, secs);
    if (log)
        log(fittxt::newtonDone(int64_t(secs)));
    std::vector<BoundHit> hits;
    for (int j = 0; j < v.np; ++j)
        noteBound(hits, pearsonKind(v.param[j]), v.x[j], v.lo[j], v.hi[j], 100 * v.ee[j], true);
    reportBounds(hits, kNewton, log, stats, dec);
}

// ---------------------------------------------------------------------------------------

void Podbor_Weib_Smirnow(State &s, double &Arez, double &Brez, double KdivSm, const LogSink &log,
                         FitStats *stats, QChar dec, const CancelFlag *cancel, int threads)
{
    checkCoefficient(KdivSm, FitKind::Smirnov);
    checkData(s);
    Mod_Weib &M = s.MSmirn;
    M.Executed = false;
    const Stopwatch clock;

    // Coefficient A, shape B, K_powtor: start, lower bound, upper bound, first step,
    // tolerance.
    const std::array<double, 3> start{0.0005, 1.0, 1.0};
    const std::array<double, 3> lo{1e-10, 0.3, 0.1};
    const std::array<double, 3> hi{0.01, 5, 30};
    std::array<double, 3> h{0.0001, 0.001, 0.001};
    const std::array<double, 3> ee{1e-8, 1e-7, 1e-7};
    const std::array<SmirnovEngine::Param, 3> param{SmirnovEngine::PA, SmirnovEngine::PB,
                                                    SmirnovEngine::PK};
    std::array<double, 3> x = start;

    // Warranty weights per failure; the final pass later writes one value per histogram
    // interval over the first entries, so the array holds the larger of the two counts.
    const size_t n = s.MasProbl.size();
    const size_t m = s.Hist_Arr.size();
    M.F_norm.assign(std::max(n, m), 0.0);
    for (size_t i = 0; i < n; ++i)
        M.F_norm[i] = CDF_Gauss(s.Sred, s.SKO, s.MasProbl[i].time);

    // A team only when there is more than the calling thread. The cumulative sum of an
    // evaluation stays on one thread, so beyond a few threads the others would only spin.
    constexpr int kMostThreads = 4;
    if (threads <= 0)
        threads = int(std::thread::hardware_concurrency());
    std::unique_ptr<detail::EvalTeam> team;
    if (threads > 1)
        team = std::make_unique<detail::EvalTeam>(std::min(threads, kMostThreads));
    SmirnovEngine eng(s, M.F_norm, team.get());
    eng.setPoint(x[0], x[1], x[2]);
    eng.setMoving(SmirnovEngine::PK);
    double f_cur = eng.eval(x[2]);
    if (!std::isfinite(f_cur))
        throw UserError(fittxt::notFinite(kSmirnov));

    Walker<SmirnovEngine> walker(eng);
    int64_t passes = 0, stepEvals = 1;
    // Every step shrinks by KdivSm per pass; with the default 1.0005 the passes end after
    // at most ceil(ln(1e-4 / 1e-8) / ln(1.0005)) = 18,425 passes (all three steps shrink
    // by the same factor of 10^4). Each walk ends as in the Newton search.
    for (;;) {
        ++passes;
        throwIfCancelled(cancel);
        for (int j = 0; j < 3; ++j) {
            eng.setMoving(param[j]);
            const WalkResult r = walker.strict(x[j], h[j], f_cur, lo[j], hi[j]);
            stepEvals += r.k;
            if (!std::isfinite(r.fStop))
                throw UserError(fittxt::notFinite(kSmirnov));
            const double nx = walker.pos(r.k - 1);
            f_cur = walker.f(r.k - 1);
            if (nx != x[j]) {
                x[j] = nx;
                eng.commit(nx);
            }
            h[j] = -h[j] / KdivSm;
        }
        if (stepsBelow(h.data(), ee.data(), 3))
            break;
    }

    Arez = x[0];
    Brez = x[1];
    M.A = x[0];
    M.B = x[1];
    M.K_powtor = x[2];
    finalPass(s, M, kSmirnov);
    M.Sred = s.Sred;
    M.SKO = s.SKO;
    M.Executed = true;
    const double secs = clock.seconds();
    reportStats(stats, eng, passes, stepEvals, secs);
    if (stats)
        stats->objective = f_cur;
    if (log)
        log(fittxt::smirnovDone(int64_t(secs)));
    std::vector<BoundHit> hits;
    const std::array<int, 3> kinds{1, 0, 2};
    for (int j = 0; j < 3; ++j)
        noteBound(hits, kinds[j], x[j], lo[j], hi[j], 100 * ee[j], true);
    reportBounds(hits, kSmirnov, log, stats, dec);
}

}   // namespace obr
