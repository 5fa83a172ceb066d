// SPDX-License-Identifier: MIT
#include "genetic.h"
#include "genetic_parallel.h"
#include "genetic_sort.h"
#include "pearson_term.h"

#include "model/errors.h"
#include "model/numfmt.h"
#include "model/texts.h"
#include "stats/stat2018.h"

#include <QFile>

#include <algorithm>
#include <bit>
#include <cstring>
#include <chrono>
#include <climits>
#include <cmath>
#include <exception>
#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

namespace obr {

// ---------------------------------------------------------------------------------
// Objective

namespace {

//! Upper end of the repeat coefficient's range; beyond it the criterion is penalised.
constexpr double kPowtorLimit = Alim[0][2] + Alim[1][2];

bool inDomain(double A, double B, double Sig) { return A > 0 && B > 0 && Sig > 0; }

/*! The genetic criterion from the sum of the probability-weighted squared deviations \a S
 *  and the model's total \a Kol against the \a Nfail recorded failures: the miss of the
 *  total is added, a repeat coefficient beyond its range is penalised, and a value that
 *  is not finite becomes the worst one. Both evaluators of the criterion end here. */
double genCriterion(double S, double Nfail, double Kol, double k_pwt)
{
    double R = detail::pearsonTotal(S, Nfail, Kol);
    if (k_pwt > kPowtorLimit)
        R = R * (k_pwt / kPowtorLimit) * (k_pwt / kPowtorLimit);
    return std::isfinite(R) ? R : kWorstObjective;
}

//! Mean and deviation of the warranty law for a parameter vector (0-based genes).
void warrantyOf(const std::array<double, 5> &Ao, bool Sred_Opt, bool SKO_Opt, double Sred,
                double SKO, double &Mu, double &Sig)
{
    Mu = Sred;
    Sig = SKO;
    if (Sred_Opt && SKO_Opt) {
        Mu = Ao[3];
        Sig = Ao[4];
    } else if (Sred_Opt) {
        Mu = Ao[3];
    } else if (SKO_Opt) {
        Sig = Ao[3];
    }
}

} // namespace

double Pirson_ZFGen(const std::vector<Hist_Rec> &Hist_Arr, double Izd_Prived, int32_t Kol_izw,
                    Mod_Weib &M, double A, double B, double k_pwt, double Mu, double Sig)
{
    const size_t m = Hist_Arr.size();
    M.F_Weib.assign(m, 0.0);
    M.F_norm.assign(m, 0.0);
    M.Kol_F_priv.assign(m, 0.0);
    M.Kol_Nakopl = 0;
    M.SKO_out = 0;
    if (!inDomain(A, B, Sig))
        return kWorstObjective;
    const double Nfail = Kol_izw;
    double S = 0, sq = 0, t1 = 0;
    for (size_t i = 0; i < m; ++i) {
        const double t2 = Hist_Arr[i].time;
        M.F_norm[i] = CDF_Gauss(Mu, Sig, (t1 + t2) / 2);
        const double P = weibCDF2(A, B, t1, t2);
        M.F_Weib[i] = P;
        const double E = Izd_Prived * k_pwt * P * (1 - M.F_norm[i]);
        M.Kol_F_priv[i] = E;
        M.Kol_Nakopl += E;
        const double d = Hist_Arr[i].Sum - E;
        sq += d * d;
        S += d * d * P;
        t1 = t2;
    }
    M.SKO_out = std::sqrt(sq) / Nfail;
    return genCriterion(S, Nfail, M.Kol_Nakopl, k_pwt);
}

/*! The objective of a run, with what does not change during the run computed once:
 *  the logarithms of the interval bounds and, when the warranty law is not searched,
 *  the share still in warranty at every interval's midpoint. Writes nothing, so any
 *  number of threads may call it at once. Each F(t) is computed once and serves as the
 *  upper end of one interval and the lower end of the next. */
struct GenEngine::Objective {
    explicit Objective(const GenInput &in)
        : Nprod(in.Izd_Prived), Nfail(in.Kol_izw), Sred(in.Sred), SKO(in.SKO),
          Sred_Opt(in.Sred_Opt), SKO_Opt(in.SKO_Opt), fixedNorm(!in.Sred_Opt && !in.SKO_Opt)
    {
        double t1 = 0;
        for (const Hist_Rec &h : in.Hist_Arr) {
            lnT.push_back(std::log(h.time));
            mid.push_back((t1 + h.time) / 2);
            O.push_back(h.Sum);
            inWarranty.push_back(fixedNorm ? 1 - CDF_Gauss(Sred, SKO, mid.back()) : 0.0);
            t1 = h.time;
        }
    }

    double value(double A, double B, double k_pwt, double Mu, double Sig) const
    {
        if (!inDomain(A, B, Sig))
            return kWorstObjective;
        const size_t m = lnT.size();
        const double scale = Nprod * k_pwt;
        double F1 = kWeibFloor;   // weibCDF at 0
        double S = 0, Kol = 0;
        for (size_t i = 0; i < m; ++i) {
            // Beyond 746 exp(-z) is 0: skip the library's slow underflow path.
            const double z = A * std::exp(B * lnT[i]);
            const double w = z > 746 ? 1.0 : 1 - std::exp(-z);
            const double F2 = w > 0 ? w : kWeibFloor;
            const double P = weibDiff(F2, F1);
            const double keep = fixedNorm ? inWarranty[i] : 1 - CDF_Gauss(Mu, Sig, mid[i]);
            const double E = scale * P * keep;
            Kol += E;
            const double d = O[i] - E;
            S += d * d * P;
            F1 = F2;
        }
        return genCriterion(S, Nfail, Kol, k_pwt);
    }

    double operator()(const std::array<double, 5> &Ao) const
    {
        double Mu, Sig;
        warrantyOf(Ao, Sred_Opt, SKO_Opt, Sred, SKO, Mu, Sig);
        return value(Ao[1], Ao[0], Ao[2], Mu, Sig);
    }

    std::vector<double> lnT, mid, O, inWarranty;
    double Nprod, Nfail, Sred, SKO;
    bool Sred_Opt, SKO_Opt, fixedNorm;
};

bool publishGenResult(State &s, const GenResult &r, const LogSink &log, QChar dec)
{
    if (!r.ran)
        return false;
    bool same = s.Hist_Arr.size() == r.Hist_Arr.size() && s.Izd_Prived == r.Izd_Prived;
    for (size_t i = 0; same && i < s.Hist_Arr.size(); ++i)
        same = s.Hist_Arr[i].time == r.Hist_Arr[i].time && s.Hist_Arr[i].Sum == r.Hist_Arr[i].Sum;
    if (!same) {
        if (log)
            log(gentxt::dataChanged);
        return false;
    }
    s.Ao = r.Aopt;
    s.Aopt = r.Aopt;
    s.MGenet = r.MGenet;
    s.Sred = r.Sred;
    s.SKO = r.SKO;
    Hist_Made(s, s.MGenet.A, s.MGenet.B, s.MGenet.K_powtor, s.Mas_Out_Like, s.Kol_Nakopl_Like,
              s.MGenet.SKO_out, log ? log : nullLog(), dec);
    return true;
}

// ---------------------------------------------------------------------------------
// The engine

namespace {

/*! The integer that L characters '0'/'1' write, most significant first. Eight characters
 *  at a time: their low bits gathered into one byte by a multiplication. */
inline uint64_t geneValue(const char *c, int32_t L)
{
    uint64_t v = 0;
    int32_t j = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; j + 8 <= L; j += 8) {
            uint64_t x;
            std::memcpy(&x, c + j, 8);
            v = (v << 8) | (((x & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
        }
    }
    for (; j < L; ++j)
        v = (v << 1) | (c[j] == '1' ? 1u : 0u);
    return v;
}

size_t roundIndex(double x)
{
    const double r = roundEven(x);
    return r > 0 ? size_t(r) : 0;
}

/*! A probability of one generation and its bar: a bar position that differs from the
 *  current probability was set by the user and governs; otherwise the scheduled value
 *  applies and the bar follows it. Returns the probability. */
template <class Show>
double followBar(std::atomic<int> &bar, double current, double scheduled, const Show &show)
{
    const int pos = bar.load();
    if (std::fabs(current - pos / 100.0) > 0.01)
        return pos / 101.0;
    const int np = int(roundEven(scheduled * 101));
    bar.store(np);
    show(np);
    return scheduled;
}

} // namespace

GenEngine::GenEngine(GenInput in, GenControl &control, GenHost &host, SeedSource seeds)
    : m_in(std::move(in)), m_ctl(control), m_host(host), m_seeds(std::move(seeds))
{
    GenSettings st{m_in.Precision, m_in.SizePopulation, m_in.generations,
                   geneLength(m_in.Precision)};
    if (auto p = genSettingsProblem(!m_in.Hist_Arr.empty() && m_in.Kol_izw > 0,
                           !m_in.SKO_Opt, m_in.SKO, st, m_in.dec))
        throw UserError(*p);
    // The gene count and steps follow from the flags and the precision, here only.
    m_iop = genesFor(m_in.Sred_Opt, m_in.SKO_Opt);
    m_NormA = geneSteps(m_in.Precision);
    m_L = st.L;
    m_N = m_in.generations;
    if (!m_seeds)
        m_seeds = clockSeedSource();
    m_obj = std::make_unique<Objective>(m_in);
    m_par = std::make_unique<GenParallel>(m_in.threads);
}

GenEngine::~GenEngine() = default;

int64_t GenEngine::helperEvaluations() const { return int64_t(m_par->helperItems()); }

double GenEngine::objective(const std::array<double, 5> &Ao) const { return (*m_obj)(Ao); }

void GenEngine::reseed() { m_rnd.setSeed(m_seeds()); }

GenEngine::Ptr GenEngine::newIndividual()
{
    if (m_spare.empty())
        return std::make_unique<Xromosome>();
    Ptr p = std::move(m_spare.back());
    m_spare.pop_back();
    p->Celev_F = 0;
    p->Pokolenie = 0;
    return p;
}

/*! Evaluates the individuals of m_batch (decoded from their chromosomes). The stream is
 *  re-seeded once for the batch, as an evaluation does; an empty batch evaluates nothing
 *  and leaves the stream alone. */
void GenEngine::evaluateBatch()
{
    const size_t n = m_batch.size();
    if (n == 0)
        return;
    reseed();
    const Objective &obj = *m_obj;
    const int32_t iop = m_iop;
    const int32_t L = m_L;
    const std::array<double, 5> NormA = m_NormA;
    Xromosome *const *batch = m_batch.data();
    m_par->run(n, [&](size_t b, size_t e) {
        std::array<double, 5> a{};   // this thread's decoding scratch
        for (size_t idx = b; idx < e; ++idx) {
            const char *c = batch[idx]->sX.data();
            for (int32_t k = 0; k < iop; ++k)
                a[size_t(k)] = double(int64_t(geneValue(c + k * L, L))) * NormA[size_t(k)];
            batch[idx]->Celev_F = obj(a);
        }
    });
    m_evaluations += int64_t(n);
}

/*! Sorts the population by objective, stably (equal objectives keep their order), so a
 *  run is reproducible. Only the individuals marked in m_dirty (new, copied or mutated
 *  since the last sort) can be out of place; the others are still in order. These two
 *  groups are merged, which gives exactly the order of a full stable sort of the
 *  references at a fraction of its cost. */
void GenEngine::sortPopulation()
{
    sortMarked(m_pop, m_dirty, [](const Ptr &x) { return x->Celev_F; }, m_sort);
}

void GenEngine::MakePopulation()
{
    m_ListGens = makeListGens(m_iop, m_L);
    const size_t n = size_t(m_in.SizePopulation);
    m_initAo.assign(n, std::array<double, 5>{});
    m_pop.reserve(n + 2 * n + 16);
    for (size_t idx = 0; idx < n; ++idx) {
        Ptr x = newIndividual();
        x->sX.clear();
        std::array<double, 5> &a = m_initAo[idx];
        for (int32_t k = 0; k < m_iop; ++k) {
            const double u = m_rnd.next();
            a[size_t(k)] = Alim[0][size_t(k)] + u * Alim[1][size_t(k)];
            x->sX += IntToBin(int64_t(roundEven(a[size_t(k)] / m_NormA[size_t(k)])), m_L);
        }
        x->Pokolenie = 1;
        m_pop.push_back(std::move(x));
    }
    // The initial individuals are valued at the drawn vectors, before their rounding to
    // gene steps.
    reseed();
    const Objective &obj = *m_obj;
    m_par->run(n, [&](size_t b, size_t e) {
        for (size_t idx = b; idx < e; ++idx)
            m_pop[idx]->Celev_F = obj(m_initAo[idx]);
    });
    m_evaluations += int64_t(n);
    m_LengthXrome = m_pop.empty() ? 0 : int32_t(m_pop.back()->sX.size());
    m_dirty.assign(m_pop.size(), 1);
}

void GenEngine::CrossingOver(int32_t g)
{
    const size_t count0 = m_pop.size();
    const size_t Nx = roundIndex(double(count0) * m_fPCrossingOver);
    const size_t len = size_t(m_LengthXrome);
    for (size_t r = 0; r < Nx; ++r) {
        const size_t M = m_pop.size();
        const size_t i1 = std::min(roundIndex(m_rnd.next() * double(M) / 2), M - 1);
        const size_t h2 = roundIndex(m_rnd.next() * double(M) / 2);
        const size_t i2 = h2 + 1 <= M ? M - h2 - 1 : 0;
        const size_t x = roundIndex(m_rnd.next() * double(len - 2)) + 1;
        const Xromosome *p1 = m_pop[i1].get();
        const Xromosome *p2 = m_pop[i2].get();
        Ptr c1 = newIndividual();
        Ptr c2 = newIndividual();
        c1->sX.assign(p1->sX, 0, x);
        c1->sX.append(p2->sX, x, std::string::npos);
        c2->sX.assign(p2->sX, 0, x);
        c2->sX.append(p1->sX, x, std::string::npos);
        c1->Pokolenie = g;
        c2->Pokolenie = g;
        m_pop.push_back(std::move(c1));
        m_pop.push_back(std::move(c2));
    }
    m_batch.clear();
    for (size_t k = count0; k < m_pop.size(); ++k)
        m_batch.push_back(m_pop[k].get());
    m_dirty.resize(m_pop.size(), 1);
    evaluateBatch();
    if (m_showProgress)
        for (size_t k = count0 + 1; k < m_pop.size(); k += 2)
            m_host.logLine(genChildLine(m_pop[k]->Celev_F, m_in.dec));
}

void GenEngine::Mutation()
{
    const size_t Nm = roundIndex(double(m_in.SizePopulation) * m_fPMutation);
    const size_t len = size_t(m_LengthXrome);
    m_dirty.resize(m_pop.size(), 1);
    m_mutated.assign(m_pop.size(), 0);
    m_batch.clear();
    for (size_t r = 0; r < Nm; ++r) {
        const size_t p = roundIndex(m_rnd.next() * double(len - 1)) + 1;
        const size_t j = roundIndex(m_rnd.next() * double(m_in.SizePopulation - 1));
        if (j >= m_pop.size() || p > len)
            continue;
        char &c = m_pop[j]->sX[p - 1];
        c = c == '0' ? '1' : '0';
        m_dirty[j] = 1;
        if (!m_mutated[j]) {
            m_mutated[j] = 1;
            m_batch.push_back(m_pop[j].get());
        }
    }
    // An individual flipped several times is valued once, at its final chromosome.
    evaluateBatch();
}

void GenEngine::DestroyBad(size_t iNumOsobey)
{
    while (m_pop.size() > iNumOsobey) {
        m_spare.push_back(std::move(m_pop.back()));
        m_pop.pop_back();
    }
    m_dirty.resize(m_pop.size(), 1);
    if (m_pop.empty())
        m_ListGens.clear();
}

void GenEngine::MoveBest(int32_t g)
{
    const std::optional<int32_t> n = m_ctl.copyCount();
    if (!n)
        return;
    const size_t have = m_ListBest.size();
    const size_t count = *n < 0 ? 0 : (size_t(*n) >= have ? have : size_t(*n) + 1);
    m_lastCopied = count;
    for (size_t k = 0; k < count; ++k) {
        Ptr x = newIndividual();
        x->sX = m_ListBest[k].sX;
        x->Celev_F = m_ListBest[k].Celev_F;
        x->Pokolenie = g;
        m_pop.push_back(std::move(x));
    }
    m_ListBest.clear();
    sortPopulation();
    DestroyBad(size_t(m_in.SizePopulation));
}

void GenEngine::begin()
{
    if (m_clearAtBegin)
        m_ctl.clearRequests();
    reseed();
    MakePopulation();
    m_i = 1;
    m_done = 0;
    m_dMinimumAll = 1e306;
}

bool GenEngine::generation()
{
    const int32_t i = m_i;
    const int32_t N = m_N;

    m_fPCrossingOver = followBar(m_ctl.trackBar1, m_fPCrossingOver, crossoverSchedule(i, N),
                                 [this](int np) { m_host.trackBar1(np); });
    m_fPMutation = followBar(m_ctl.trackBar2, m_fPMutation, mutationSchedule(i, N),
                             [this](int np) { m_host.trackBar2(np); });
    m_showProgress = m_ctl.showProgress.load();

    if (m_ctl.bCopyBest.exchange(false)) {
        m_host.logLine(gentxt::copyBest);
        MoveBest(i);
    }
    if (copyDue(i, N))
        m_ctl.bCopyBest.store(true);

    sortPopulation();
    if (!m_pop.empty()) {
        const Xromosome &best = *m_pop.front();
        if (best.Celev_F < m_dMinimumAll) {
            m_dMinimumAll = best.Celev_F;
            XromeToA(best.sX, m_ListGens, m_NormA, m_Ao);
            m_Aopt = m_Ao;
            m_haveBest = true;
            reseed();   // an evaluation re-seeds the stream
            const double x = objective(m_Ao);
            ++m_evaluations;
            m_host.logLine(genBestLine(x, m_Aopt, m_in.dec));
        }
        m_ListBest.push_back(best);
        m_ListBest.back().Pokolenie = i;
    }
    const size_t shown = std::min(m_ListBest.size(), size_t(N));
    m_host.generationsText(fmtInt(int64_t(shown)));
    if (m_showProgress)
        m_host.logLine(genUpdMainLine(int(m_ListGens.size())));

    CrossingOver(i + 1);
    sortPopulation();
    DestroyBad(size_t(m_in.SizePopulation));

    m_i = i + 1;
    Mutation();
    const double pr = roundEven(double(m_i) * 100 / N);
    m_host.progress(int(std::clamp(pr, 0.0, 100.0)));
    m_done = i;
    m_host.generationDone(i);

    return !(m_ctl.Stop_Gen.load() || m_i > N || (m_abort && m_abort->load()));
}

GenResult GenEngine::run()
{
    bool failed = false;
    if (m_abort && m_abort->load())
        return finish(false);
    try {
        begin();
        while (generation()) {
        }
    } catch (...) {
        m_host.logLine(txt::exceptional);
        failed = true;
    }
    return finish(failed);
}

GenResult GenEngine::finish(bool failed)
{
    GenResult r;
    r.ran = m_haveBest;
    r.failed = failed;
    r.generations = m_done;
    r.dMinimumAll = m_dMinimumAll;
    r.Aopt = m_Aopt;
    r.Hist_Arr = m_in.Hist_Arr;
    r.Izd_Prived = m_in.Izd_Prived;
    r.Sred = m_in.Sred;
    r.SKO = m_in.SKO;
    r.evaluations = m_evaluations;
    // A best vector whose Weibull or warranty parameter is zero or not a finite number
    // describes no model: nothing is published.
    if (m_haveBest) {
        double Mu = 0, Sig = 0;
        warrantyOf(m_Aopt, m_in.Sred_Opt, m_in.SKO_Opt, m_in.Sred, m_in.SKO, Mu, Sig);
        for (double v : {m_Aopt[0], m_Aopt[1], m_Aopt[2], Mu, Sig})
            if (!(v > 0) || !std::isfinite(v))
                m_haveBest = false;
        r.ran = m_haveBest;
    }
    if (m_haveBest) {
        m_Ao = m_Aopt;
        warrantyOf(m_Ao, m_in.Sred_Opt, m_in.SKO_Opt, m_in.Sred, m_in.SKO, r.Sred, r.SKO);
        Mod_Weib &M = r.MGenet;
        M.Executed = true;
        M.A = m_Ao[1];
        M.B = m_Ao[0];
        M.K_powtor = m_Ao[2];
        M.SKO = r.SKO;
        M.Sred = r.Sred;
        // F_norm, F_Weib, Kol_F_priv, Kol_Nakopl and SKO_out of the best vector.
        Pirson_ZFGen(m_in.Hist_Arr, m_in.Izd_Prived, m_in.Kol_izw, M, M.A, M.B, M.K_powtor,
                     M.Sred, M.SKO);
    } else if (!failed) {
        m_host.logLine(gentxt::noFeasible);
    }
    m_pop.clear();
    m_spare.clear();
    m_ListBest.clear();
    m_ListGens.clear();
    m_batch.clear();
    m_initAo.clear();
    m_host.generationDone(m_done);
    return r;
}

} // namespace obr
