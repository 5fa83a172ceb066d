// SPDX-License-Identifier: MIT
#include "engines.h"
#include "eval_team.h"
#include "pearson_term.h"
#include "stats/stat2018.h"

#include <algorithm>
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

/*! P[i] for i in [b, e): the Weibull share of the interval between ends i and i + 1, from
 *  the exponent \a x0 = A t^B at end b and \a xAt(i) at end i + 1; an end marked in \a dup
 *  (may be null) has the time of the end before it and so its value.
 *
 *  With \a ascending (the ends' times ascending, A > 0 and B > 0) the exponents ascend
 *  too, so once one exceeds kWeibSaturated every later Weibull value is exactly 1 (the
 *  rounding of the exponents is far smaller than the margin below the cut-off), every
 *  later share is weibDiff(1, 1) = 0, and neither pow nor exp is called for them: past
 *  that point the calls would only meet huge exponents and underflowing results, the
 *  slow paths of the library. Returns the number of shares so taken. */
template <class XAt>
inline int64_t fillSharesFrom(size_t b, size_t e, double x0, bool ascending,
                              const unsigned char *dup, double *P, XAt &&xAt)
{
    if (ascending && x0 > kWeibSaturated) {
        std::fill(P + b, P + e, 0.0);
        return int64_t(e - b);
    }
    double wprev = weibFromExponent(x0);
    for (size_t i = b; i < e; ++i) {
        if (dup && dup[i + 1]) {
            P[i] = weibDiff(wprev, wprev);
            continue;
        }
        const double x = xAt(i);
        const double w = weibFromExponent(x);
        P[i] = weibDiff(w, wprev);
        wprev = w;
        if (ascending && x > kWeibSaturated) {
            std::fill(P + i + 1, P + e, 0.0);
            return int64_t(e - i - 1);
        }
    }
    return 0;
}

//! The interval ends' times \a t start at 0 or above and do not decrease.
bool ascendingTimes(const std::vector<double> &t)
{
    return !t.empty() && t[0] >= 0 && std::is_sorted(t.begin(), t.end());
}

//! A and B under which A t^B grows with t >= 0 (NaN fails).
bool growing(double A, double B) { return A > 0 && B > 0; }

//! P[i]: the Weibull share of interval i at coefficient A, from the powers of its two ends
//! (\a ascending as for fillSharesFrom).
void fillShares(double A, const std::vector<double> &pw, std::vector<double> &P, bool ascending)
{
    fillSharesFrom(0, P.size(), A * pw[0], ascending, nullptr, P.data(),
                   [&](size_t i) { return A * pw[i + 1]; });
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

}   // namespace

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
    m_ascending = ascendingTimes(m_t);
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

void PearsonEngine::refreshP() { fillShares(m_A, m_pw, m_P, m_ascending && growing(m_A, m_B)); }

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

double PearsonEngine::eval(double x, bool)
{
    ++m_evals;
    double *sP = m_sP.data();
    switch (m_moving) {
    case PB: {
        const double *t = m_t.data();
        const double A = m_A;
        m_saturated +=
            fillSharesFrom(0, m_m, A * std::pow(t[0], x), m_ascending && growing(A, x), nullptr, sP,
                           [&](size_t i) { return A * std::pow(t[i + 1], x); });
        return sum(m_izd * m_K, sP, m_Gc.data());
    }
    case PA: {
        const double *pw = m_pw.data();
        m_saturated += fillSharesFrom(0, m_m, x * pw[0], m_ascending && growing(x, m_B), nullptr,
                                      sP, [&](size_t i) { return x * pw[i + 1]; });
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

/*! One evaluation (or one refresh of the cached terms) shared out between a team's
 *  threads. The failures are cut into parts; any thread takes the next part of terms.
 *  The calling thread sums the parts in order as their terms come in, taking parts of
 *  terms itself while the next one is not done; the helper that takes the bound follows
 *  the sum part by part. */
class SmirnovEngine::Shared final : public EvalTeam::Job {
public:
    //! Failures per part: the sum's last wait for terms is at most one part.
    static constexpr size_t kPart = 512;

    explicit Shared(SmirnovEngine &e)
        : m_e(e), m_parts((e.m_n + kPart - 1) / kPart), m_done(new std::atomic<uint32_t>[m_parts])
    {
        for (size_t p = 0; p < m_parts; ++p)
            m_done[p].store(0, std::memory_order_relaxed);
    }

    /*! False while evaluations run on the calling thread alone: after a job in which the
     *  caller waited long for a helper that the system had taken off its core (a loaded
     *  machine), the next jobs, more of them each time it happens again, are not shared;
     *  the pause halves again after each run of quick jobs. */
    bool sharing()
    {
        if (m_alone == 0)
            return true;
        --m_alone;
        return false;
    }

    //! The evaluation's value; the bound too when \a withNoise.
    double eval(EvalTeam &team, double c, double A, double B, bool newPowers, const double *P,
                bool withNoise)
    {
        m_refresh = false;
        m_A = A;
        m_B = B;
        m_newPowers = newPowers;
        m_withTerms = P == nullptr;
        m_withNoise = withNoise;
        m_P = m_withTerms ? m_e.m_sP.data() : const_cast<double *>(P);
        m_e.m_lastP = m_P;
        m_e.m_lastC = c;
        begin();
        double E = 0, S = 0;
        SpinWait wait;
        const bool quick = team.run(*this, [&]() noexcept {
            for (size_t p = 0; p < m_parts;) {
                if (!m_withTerms || m_done[p].load(std::memory_order_acquire) == m_number) {
                    m_e.sumPart(first(p), last(p), c, m_P, E, S);
                    m_summed.store(++p, std::memory_order_release);
                } else if (!takePart(true)) {
                    wait();   // a helper is computing this part
                }
            }
            if (m_withNoise && !m_noiseTaken.exchange(true, std::memory_order_acq_rel))
                noise(m_parts);   // no helper came for the bound
        });
        noteWait(!quick || wait.gaveWay());
        m_e.m_lastS = S;
        m_e.m_lastF = std::sqrt(S) / m_e.m_kol;
        if (m_withNoise) {
            m_e.m_noise = m_e.noiseTotal(m_dS);
            m_e.m_noiseKnown = true;
        }
        return m_e.m_lastF;
    }

    //! The cached powers (with \a powers) and interval probabilities at the set point.
    void refresh(EvalTeam &team, bool powers)
    {
        m_refresh = true;
        m_powers = powers;
        m_withNoise = false;
        begin();
        noteWait(!team.run(*this, [&]() noexcept {
            while (takePart(true)) {
            }
        }));
    }

    void help(unsigned) override
    {
        const bool owner = m_withNoise && !m_noiseTaken.exchange(true, std::memory_order_acq_rel);
        size_t noiseDone = 0;
        SpinWait wait;
        for (;;) {
            if (owner && noiseDone < m_parts) {
                // A part behind the one the sum is writing, or the rest once it is done.
                const size_t summed = m_summed.load(std::memory_order_acquire);
                const size_t upTo = summed == m_parts ? summed : summed - (summed > 0);
                if (noiseDone < upTo) {
                    noiseDone = noise(upTo, noiseDone);
                    continue;
                }
            }
            if (takePart(false))
                continue;
            if (!owner || noiseDone == m_parts)
                return;
            wait();   // the bound waits for the sum
        }
    }

private:
    void noteWait(bool longWait)
    {
        if (!longWait) {
            // A run of quick jobs brings the pause back down.
            if (++m_quick >= kQuickRun) {
                m_quick = 0;
                m_backoff = std::max(m_backoff / 2, kFirstBackoff);
            }
            return;
        }
        m_quick = 0;
        m_alone = m_backoff;
        m_backoff = std::min(2 * m_backoff, kLastBackoff);
    }

    size_t first(size_t p) const { return p * kPart; }
    size_t last(size_t p) const { return std::min(m_e.m_n, (p + 1) * kPart); }

    void begin()
    {
        if (++m_number == 0) {   // the numbers wrapped: forget the old marks
            for (size_t p = 0; p < m_parts; ++p)
                m_done[p].store(0, std::memory_order_relaxed);
            m_number = 1;
        }
        m_ends.store(uint64_t(m_parts), std::memory_order_relaxed);
        m_summed.store(0, std::memory_order_relaxed);
        m_noiseTaken.store(false, std::memory_order_relaxed);
        m_acc = m_dS = 0;
    }

    /*! Computes the next part nobody has taken, from the front for the caller and from
     *  the back for the helpers; false when none is left. The caller sums the front as it
     *  goes, so no thread writes terms right beside the failures another one is reading
     *  (a core's prefetching would pull those lines back and forth). */
    bool takePart(bool front)
    {
        if (!m_refresh && !m_withTerms)
            return false;
        uint64_t w = m_ends.load(std::memory_order_relaxed);
        size_t p;
        for (;;) {
            const uint64_t f = w >> 32, b = w & 0xffffffffu;
            if (f >= b)
                return false;
            const uint64_t next = front ? w + (uint64_t(1) << 32) : w - 1;
            if (m_ends.compare_exchange_weak(w, next, std::memory_order_relaxed)) {
                p = size_t(front ? f : b - 1);
                break;
            }
        }
        if (m_refresh) {
            m_e.refreshPart(first(p), last(p), m_powers);
        } else {
            m_e.terms(first(p), last(p), m_A, m_B, m_newPowers, m_P);
            m_done[p].store(m_number, std::memory_order_release);
        }
        return true;
    }

    //! The bound's accumulation over parts [from, to) (their sums are written); returns to.
    size_t noise(size_t to, size_t from = 0)
    {
        for (size_t p = from; p < to; ++p)
            m_e.noisePart(first(p), last(p), m_acc, m_dS);
        return to;
    }

    SmirnovEngine &m_e;
    const size_t m_parts;
    std::unique_ptr<std::atomic<uint32_t>[]> m_done;   //!< per part: the job whose terms are in
    uint32_t m_number = 0;                             //!< the current job
    static constexpr unsigned kFirstBackoff = 16, kLastBackoff = 4096, kQuickRun = 256;
    unsigned m_alone = 0;                 //!< jobs still to run on the calling thread alone
    unsigned m_backoff = kFirstBackoff;   //!< how many after the next long wait
    unsigned m_quick = 0;                 //!< quick jobs since the last long wait

    // The job's inputs: written before the team opens it.
    bool m_refresh = false, m_powers = false;
    double m_A = 0, m_B = 0;
    bool m_newPowers = false, m_withTerms = false, m_withNoise = false;
    double *m_P = nullptr;

    //! The parts not yet taken: [front, back), the front in the high half.
    alignas(64) std::atomic<uint64_t> m_ends{0};
    alignas(64) std::atomic<size_t> m_summed{0};   //!< parts whose cumulative sums are written
    alignas(64) std::atomic<bool> m_noiseTaken{false};
    double m_acc = 0, m_dS = 0;   //!< the bound's accumulators, of whoever took it
};

SmirnovEngine::SmirnovEngine(const State &s, const std::vector<double> &weights, EvalTeam *team)
    : m_team(team)
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
    m_ascending = ascendingTimes(m_t);
    m_pw.resize(m_n + 1);
    m_P.resize(m_n);
    m_sP.resize(m_n);
    m_sE.resize(m_n);
    // Below a few thousand failures the threads cost more than they save.
    constexpr size_t kParallelFrom = 2048;
    if (m_team && m_team->threads() > 1 && m_n >= kParallelFrom)
        m_shared = std::make_unique<Shared>(*this);
}

SmirnovEngine::~SmirnovEngine() = default;

void SmirnovEngine::setPoint(double A, double B, double K)
{
    m_A = A;
    m_B = B;
    m_K = K;
    refreshPow();
    refreshP();
}

void SmirnovEngine::refreshPow() { fillPowers(m_t, m_B, m_pw); }

void SmirnovEngine::refreshP() { fillShares(m_A, m_pw, m_P, m_ascending && growing(m_A, m_B)); }

void SmirnovEngine::refreshPart(size_t b, size_t e, bool powers)
{
    // The powers first, then the differences, as the whole pass makes them (two plain
    // loops run faster than one that does both). The power at the start of the part is
    // taken afresh: the part before writes it.
    const double pwb = powers ? std::pow(m_t[b], m_B) : m_pw[b];
    if (powers) {
        if (b == 0)
            m_pw[0] = pwb;
        for (size_t i = b; i < e; ++i)
            m_pw[i + 1] = std::pow(m_t[i + 1], m_B);
    }
    const double A = m_A, *pw = m_pw.data();
    fillSharesFrom(b, e, A * pwb, m_ascending && growing(A, m_B), nullptr, m_P.data(),
                   [&](size_t i) { return A * pw[i + 1]; });
}

// One copy of each sum's arithmetic serves the whole pass and the shared parts alike.
[[gnu::noinline]] void SmirnovEngine::sumPart(size_t b, size_t e, double c, const double *P,
                                              double &E, double &S)
{
    const double *wc = m_wc.data();
    double *Es = m_sE.data();
    double e1 = E, s1 = S;
    for (size_t i = b; i < e; ++i) {
        e1 = e1 + c * P[i] * wc[i];
        Es[i] = e1;
        const double d = double(i + 1) - e1;
        s1 = s1 + d * d;
    }
    E = e1;
    S = s1;
}

double SmirnovEngine::sum(double c, const double *P)
{
    m_lastP = P;
    m_lastC = c;
    double E = 0, S = 0;
    sumPart(0, m_n, c, P, E, S);
    m_lastS = S;
    m_lastF = std::sqrt(S) / m_kol;
    return m_lastF;
}

void SmirnovEngine::terms(size_t b, size_t e, double A, double B, bool newPowers, double *P) const
{
    // The Weibull value at the start of the part is computed afresh: an equal time
    // before it would have given the same value, so each part is what the whole
    // sequential pass gives there.
    // Equal times give equal Weibull values: the power is not taken again.
    const double *t = m_t.data(), *pw = m_pw.data();
    const unsigned char *dup = m_dup.data();
    const bool ascending = m_ascending && growing(A, newPowers ? B : m_B);
    int64_t taken;
    if (newPowers)
        taken = fillSharesFrom(b, e, A * std::pow(t[b], B), ascending, dup, P,
                               [&](size_t i) { return A * std::pow(t[i + 1], B); });
    else
        taken = fillSharesFrom(b, e, A * pw[b], ascending, dup, P,
                               [&](size_t i) { return A * pw[i + 1]; });
    if (taken)
        m_saturated.fetch_add(taken, std::memory_order_relaxed);
}

double SmirnovEngine::eval(double x, bool withNoise)
{
    ++m_evals;
    m_noiseKnown = false;
    double *sP = m_sP.data();
    if (m_moving == PK) {
        // Only the sum: shared out, the bound runs alongside it.
        if (m_shared && withNoise && m_shared->sharing())
            return m_shared->eval(*m_team, m_izd * x, m_A, m_B, false, m_P.data(), true);
        return sum(m_izd * x, m_P.data());
    }
    const double A = m_moving == PA ? x : m_A;
    const double B = m_moving == PB ? x : m_B;
    const bool newPowers = m_moving == PB;
    if (m_shared && m_shared->sharing())
        return m_shared->eval(*m_team, m_izd * m_K, A, B, newPowers, nullptr, withNoise);
    terms(0, m_n, A, B, newPowers, sP);
    return sum(m_izd * m_K, sP);
}

void SmirnovEngine::commit(double x)
{
    switch (m_moving) {
    case PA:
        m_A = x;
        if (m_shared && m_shared->sharing())
            m_shared->refresh(*m_team, false);
        else
            refreshP();
        break;
    case PB:
        m_B = x;
        if (m_shared && m_shared->sharing()) {
            m_shared->refresh(*m_team, true);
        } else {
            refreshPow();
            refreshP();
        }
        break;
    case PK:
        m_K = x;
        break;
    }
}

[[gnu::noinline]] void SmirnovEngine::noisePart(size_t b, size_t e, double &acc, double &dS) const
{
    const double c = std::fabs(m_lastC);
    const double w = m_moving == PK ? 0 : 1;
    double a1 = acc, d1 = dS;
    for (size_t i = b; i < e; ++i) {
        const double E = std::fabs(m_sE[i]);
        a1 += kU * E;
        const double dE = w * c * (10 * kU + kU * m_lastP[i]) + a1 + 4 * kU * E;
        d1 += 2 * std::fabs(double(i + 1) - m_sE[i]) * dE;
    }
    acc = a1;
    dS = d1;
}

double SmirnovEngine::noiseTotal(double dS) const
{
    dS += double(m_n + 2) * kU * m_lastS;
    const double rs = std::sqrt(m_lastS);
    const double df = rs > 0 ? dS / (2 * rs) / m_kol : std::sqrt(dS) / m_kol;
    return df + 3 * kU * m_lastF;
}

double SmirnovEngine::noise() const
{
    // The Weibull errors telescope along the cumulative sum (the weights are monotone),
    // so they add at most a few units of roundoff times c; the running sum adds its own.
    // Errors of the cached Weibull values (walks along K_powtor) are the same at
    // neighbouring positions and only shift the smooth trend.
    if (m_noiseKnown)
        return m_noise;
    double acc = 0, dS = 0;
    noisePart(0, m_n, acc, dS);
    return noiseTotal(dS);
}

}   // namespace obr::detail
