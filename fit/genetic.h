// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser: chromosome encoding, the objective, the random stream
 * and the breeding run as a plain engine that no thread or widget is needed to drive.
 *
 * How the main window uses it (the thread shell TGen is in fit/genetic_thread.h):
 *  1. On the start button: `GenSettings st = validateGenStart(s, Edit2, Edit3, NPokoleny, dec)`
 *     (throws UserError with the message to show; nothing has started then), then
 *     `GenInput in = prepareGenRun(s, st, dec)`, which sets iop, Precision and NormA in
 *     the State, rebuilds Hist_Arr and returns a snapshot of everything the run reads.
 *  2. The window owns one GenControl (shared with the worker by shared_ptr). The stop
 *     and copy buttons set Stop_Gen and bCopyBest; the window keeps trackBar1/trackBar2,
 *     showProgress (CheckBoxProm) and the copy count (LabeledEdit1, setCopyCount with an
 *     empty optional when the box does not hold an integer) up to date on every change.
 *     The worker writes the track-bar positions it moves there itself, so the next
 *     generation reads them at once; the window only shows them, with the bar's signals
 *     blocked (QSignalBlocker) while it does, so that a position shown late never
 *     overwrites a newer one as if the user had moved the bar.
 *  3. `auto *Gen = new TGen(in, control, this)`; connect its signals (logLines to Memo2,
 *     trackBar1Moved/trackBar2Moved, generationsText to NPokoleny, progressChanged to
 *     ProgressBar2, resultReady, and QThread::finished to ThreadTerminated and
 *     deleteLater), then `Gen->start()` and ThreadStarted. The worker reports through
 *     GenHost; TGen turns that into signals queued to the window, in order.
 *  4. On resultReady the window calls publishGenResult(s, r, log, dec) on the
 *     user-interface thread: it writes MGenet, Ao, Aopt, Sred and SKO into the State and
 *     runs Hist_Made; when it returns true the window refreshes the results windows.
 *     It returns false (and the window only restores the tab) when the run found no
 *     model or the loaded data changed meanwhile.
 *
 * The engine never touches the State: it works on its GenInput copy, so a calculation
 * started during a run cannot change the run's inputs.
 */
#include "fit/genetic_sort.h"
#include "model/seams.h"
#include "model/state.h"

#include <QChar>
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace obr {

// ---------------------------------------------------------------------------------
// Texts of the optimiser's log lines

namespace gentxt {
inline const QString copyBest = QStringLiteral("Копирование лучших");
inline const QString genesCreated = QStringLiteral("Создано генов ");
inline const QString noFeasible =
    QStringLiteral("Генетический алгоритм не нашёл допустимых параметров модели");
inline const QString dataChanged = QStringLiteral(
    "Исходные данные изменились во время работы генетического алгоритма: его результат не "
    "показан");
} // namespace gentxt

//! " ЦФ=%-9.5f  Beta=%-7.6f  A=%-9.3f   Кповт=%-9.6f" with Aopt[1], 1/Aopt[2], Aopt[3].
QString genBestLine(double x, const std::array<double, 5> &Aopt, QChar dec);
//! "F= %-8.3f S2" for the objective of the second child of a crossover.
QString genChildLine(double f, QChar dec);
//! "Создано генов N" (UpdMain).
QString genUpdMainLine(int genes);

// ---------------------------------------------------------------------------------
// Encoding

//! \brief Number of binary digits of iVal (times it can be halved while >= 1); 0 for <= 0.
int32_t iGetBits(int32_t iVal);
//! \brief The Size low bits of Value as '0'/'1' characters, most significant first.
std::string IntToBin(int64_t Value, int Size);
//! \brief The integer a '0'/'1' string writes, most significant first; "" gives 0.
int64_t BinToInt(std::string_view Value);

/*! \brief Gene length L = iGetBits(Round(1/Precision)) with half-to-even rounding.
 *  Returns 0 when Round(1/Precision) is not in 1..2^31-1 (no usable gene length). */
int32_t geneLength(double Precision);

//! One gene's place in the chromosome (1-based start, length in characters).
struct PosGen {
    int32_t gStart = 1;
    int32_t gLength = 0;
};

//! \brief The gene layout ListGens: \a iop genes of \a L characters, end to end.
std::vector<PosGen> makeListGens(int32_t iop, int32_t L);

//! One individual: chromosome, objective (smaller is better), generation of birth.
struct Xromosome {
    std::string sX;
    double Celev_F = 0;
    int32_t Pokolenie = 0;
};

/*! \brief Decodes a chromosome into Ao[0..iop-1] (gene k value = BinToInt(gene) * NormA[k]);
 *  the entries beyond the genes stay as they are. */
void XromeToA(std::string_view sXrome, const std::vector<PosGen> &ListGens,
              const std::array<double, 5> &NormA, std::array<double, 5> &Ao);

//! \brief Writes Ao[0..iop-1] as genes of L bits: n = Round(Ao[k] / NormA[k]).
std::string encodeGenes(const std::array<double, 5> &Ao, int32_t iop, int32_t L,
                        const std::array<double, 5> &NormA);

//! Number of genes: 3, plus one for each of the two warranty flags.
int32_t genesFor(bool Sred_Opt, bool SKO_Opt);
//! NormA[k] = (Alim lower + width) * Precision for the five genes.
std::array<double, 5> geneSteps(double Precision);

// ---------------------------------------------------------------------------------
// Objective

/*! The value given to a candidate outside the model's domain (A <= 0, B <= 0, a
 *  deviation <= 0) or whose objective is not finite: it sorts after every real one and
 *  is never taken as an improvement. */
constexpr double kWorstObjective = std::numeric_limits<double>::max();

/*! \brief The objective for explicit parameters over a histogram, writing F_norm, F_Weib,
 *  Kol_F_priv (one entry per interval), Kol_Nakopl and SKO_out into \a M.
 *  Returns kWorstObjective (arrays zeroed) for parameters outside the model's domain. */
double Pirson_ZFGen(const std::vector<Hist_Rec> &Hist_Arr, double Izd_Prived, int32_t Kol_izw,
                    Mod_Weib &M, double A, double B, double k_pwt, double Mu, double Sig);
//! \brief The same over the State, writing s.MGenet.
double Pirson_ZFGen(State &s, double A, double B, double k_pwt, double Mu, double Sig);
/*! \brief The objective of s.Ao: A = Ao[2], B = Ao[1], K = Ao[3]; Mu and Sig from Ao[4],
 *  Ao[5] or Sred, SKO by the two flags (1-based gene numbers as in the log).
 *  The random stream is not touched here: a run re-seeds its own stream once per batch
 *  of evaluations (GenEngine). */
double CelevFunction(State &s);

// ---------------------------------------------------------------------------------
// Random numbers

//! A source of 32-bit seeds: the clock in the program, a fixed sequence in tests.
using SeedSource = std::function<uint32_t()>;
//! Low 32 bits of the high-resolution clock.
SeedSource clockSeedSource();
//! Returns \a first, first + 1, first + 2, ... (reproducible runs).
SeedSource fixedSeedSource(uint32_t first);

//! The 32-bit linear congruential generator: seed := seed * 134775813 + 1, u = seed / 2^32.
class GenRandom {
public:
    explicit GenRandom(uint32_t seed = 0) : m_seed(seed) {}
    void setSeed(uint32_t seed) { m_seed = seed; }
    uint32_t seed() const { return m_seed; }
    //! Uniform in [0, 1).
    double next()
    {
        m_seed = m_seed * 134775813u + 1u;
        return double(m_seed) / 4294967296.0;
    }

private:
    uint32_t m_seed;
};

// ---------------------------------------------------------------------------------
// Schedules

//! 0.45 * |sin(1 - 8 i / N)|
double crossoverSchedule(int32_t i, int32_t N);
//! 0.5 * |sin(12 i / N - 0.025)|
double mutationSchedule(int32_t i, int32_t N);
//! Whether generation i of N raises the copy request (i/N within 0.0002 of 0.2, 0.6, 0.8).
bool copyDue(int32_t i, int32_t N);

// ---------------------------------------------------------------------------------
// Settings, snapshot, control and results

//! The checked settings of the start button.
struct GenSettings {
    double Precision = 1e-7;
    int32_t population = 3000;
    int32_t generations = 1500;
    int32_t L = 24;   //!< gene length the precision gives
};

/*! \brief Reads and checks the three boxes before a run. Throws UserError with a Russian
 *  message naming the box: no loaded failures, a box that is not a number, population
 *  below 2, generations below 1, a precision outside 0.000000001..1 or that gives no gene
 *  length in 1..31, a run larger than memory allows, a warranty mean or deviation that the
 *  run uses and that is not above 0 (or leaves every failure out of observation). */
GenSettings validateGenStart(const State &s, const QString &precisionText,
                             const QString &populationText, const QString &generationsText,
                             QChar dec);
//! \brief Checks settings given as numbers (same messages as validateGenStart).
void checkGenSettings(const State &s, const GenSettings &st);

//! What a run holds in memory: bytes per member of the population (the population with
//! the children of one generation, three times its size at most) and per generation (one
//! stored best each, since the stored bests may not be copied back before the end).
struct GenMemoryCosts {
    double perIndividual = 0;
    double perGeneration = 0;
};
//! \brief The costs for \a iop genes of \a L characters.
GenMemoryCosts genMemoryCosts(int32_t iop, int32_t L);
//! \brief Memory the system can give a run now, in bytes; 0 when it cannot be told.
uint64_t availableMemory();
/*! \brief Refuses settings whose run would need more than half of \a available bytes, with
 *  a message that gives the largest population (or number of generations) allowed with
 *  the other setting as it is. No check when \a available is 0. */
void checkGenMemory(const GenSettings &st, int32_t iop, uint64_t available, QChar dec);

//! Everything a run reads, copied at its start.
struct GenInput {
    std::vector<Hist_Rec> Hist_Arr;
    double Izd_Prived = 0;
    int32_t Kol_izw = 0;
    double Sred = 0;
    double SKO = 0;
    bool Sred_Opt = false;
    bool SKO_Opt = false;
    double Precision = 1e-7;
    int32_t iop = 3;
    std::array<double, 5> NormA{};
    int32_t SizePopulation = 3000;
    int32_t generations = 1500;   //!< N (iMaxBest)
    int threads = 0;              //!< evaluation threads; 0 = all cores, 1 = the worker alone
    QChar dec = u'.';             //!< decimal separator of the log lines
};

/*! \brief The start button's preparation: sets s.iop, s.Precision and s.NormA, rebuilds
 *  s.Hist_Arr and returns the snapshot for the run. */
GenInput prepareGenRun(State &s, const GenSettings &st, QChar dec, int threads = 0);
//! \brief A snapshot of the State as it is (iop, Precision, NormA taken from it).
GenInput snapshotGenInput(const State &s, int32_t population, int32_t generations, QChar dec,
                          int threads = 0);

/*! Requests and settings that the window changes while a run goes on. Each is read
 *  whole by the worker once per generation (the copy count at each copy step). */
struct GenControl {
    std::atomic<bool> Stop_Gen{false};
    std::atomic<bool> bCopyBest{false};
    std::atomic<int> trackBar1{55};        //!< crossover bar position 0..100
    std::atomic<int> trackBar2{15};        //!< mutation bar position 0..100
    std::atomic<bool> showProgress{false}; //!< CheckBoxProm

    //! Forgets stop and copy requests of an earlier run. A run started on another thread
    //! is cleared by its starter, before the start, so a stop pressed right after the
    //! start is never lost.
    void clearRequests()
    {
        Stop_Gen.store(false);
        bCopyBest.store(false);
    }

    //! The copy count of LabeledEdit1; empty when the box does not hold an integer.
    void setCopyCount(std::optional<int32_t> n)
    {
        m_copy.store(n ? int64_t(*n) : kNoCopy);
    }
    std::optional<int32_t> copyCount() const
    {
        const int64_t v = m_copy.load();
        if (v == kNoCopy)
            return std::nullopt;
        return int32_t(v);
    }

private:
    static constexpr int64_t kNoCopy = std::numeric_limits<int64_t>::min();
    std::atomic<int64_t> m_copy{50};
};

//! What the run sends to the window. Called on the worker's thread, in run order.
class GenHost {
public:
    virtual ~GenHost() = default;
    //! A log line (" ЦФ=...", "Копирование лучших", "Создано генов N", "F= ... S2",
    //! "Исключительная ситуация!"), in the order the run produces them.
    virtual void logLine(const QString &line) = 0;
    virtual void trackBar1(int position) = 0;
    virtual void trackBar2(int position) = 0;
    //! The text of the generations box NPokoleny.
    virtual void generationsText(const QString &text) = 0;
    //! ProgressBar2, kept within 0..100.
    virtual void progress(int value) = 0;
    //! The end of generation \a i (a place to pass on batched lines).
    virtual void generationDone(int32_t) {}
};

//! A host that drops everything.
class NullGenHost : public GenHost {
public:
    void logLine(const QString &) override {}
    void trackBar1(int) override {}
    void trackBar2(int) override {}
    void generationsText(const QString &) override {}
    void progress(int) override {}
};

//! The outcome of a run, published by the window on the user-interface thread.
struct GenResult {
    bool ran = false;          //!< a best vector exists and MGenet below is filled
    bool failed = false;       //!< an error ended the generation loop
    int32_t generations = 0;   //!< generations completed
    double dMinimumAll = 1e306;
    std::array<double, 5> Aopt{};
    Mod_Weib MGenet;           //!< Executed, A, B, K_powtor, Sred, SKO, the three arrays
    double Sred = 0;           //!< warranty mean after the run (fitted or unchanged)
    double SKO = 0;            //!< warranty deviation after the run
    std::vector<Hist_Rec> Hist_Arr;   //!< the histogram the run fitted
    double Izd_Prived = 0;
    int64_t evaluations = 0;   //!< objective evaluations made
};

/*! \brief Publishes a run's result into the State (MGenet, Ao, Aopt, Sred, SKO) and runs
 *  Hist_Made, which fills Mas_Out_Like, Kol_Nakopl_Like and MGenet.SKO_out and logs its
 *  line. Returns false and changes nothing when the run produced no model, or when the
 *  State's histogram or fleet no longer is the one the run used (then a log line says so).
 */
bool publishGenResult(State &s, const GenResult &r, const LogSink &log, QChar dec);

// ---------------------------------------------------------------------------------
// The engine

class GenParallel;

/*! \brief The breeding run. `run()` is the whole thread body; `begin()`, `generation()`
 *  and `finish()` are its parts, so tests drive it one generation at a time.
 *
 *  The random numbers of a step are drawn on the calling thread in the run's order; the
 *  objectives of the step's new or changed individuals are then computed on
 *  `GenInput::threads` threads. The stream is re-seeded from the seed source once per
 *  such batch. The result does not depend on the number of threads.
 */
class GenEngine {
public:
    GenEngine(GenInput in, GenControl &control, GenHost &host,
              SeedSource seeds = clockSeedSource());
    ~GenEngine();
    GenEngine(const GenEngine &) = delete;
    GenEngine &operator=(const GenEngine &) = delete;

    //! The whole run; an error in the loop logs "Исключительная ситуация!" and ends it.
    GenResult run();

    //! Clears both requests, seeds, builds the population (MakePopulation).
    void begin();
    //! One generation; returns false when the loop ends (stop request or i > N).
    bool generation();
    //! Finishing steps: the result record from the best vector.
    GenResult finish(bool failed = false);

    /*! An extra stop request that begin() does not clear (the owner going away): the
     *  run ends after the current generation, or before the first when already set. */
    void setAbortFlag(const std::atomic<bool> *abort) { m_abort = abort; }
    //! The starter has cleared the requests already: begin() leaves them as they are.
    void keepRequestsAtBegin() { m_clearAtBegin = false; }

    // Inspection
    int32_t currentGeneration() const { return m_i; }
    double fPCrossingOver() const { return m_fPCrossingOver; }
    double fPMutation() const { return m_fPMutation; }
    double dMinimumAll() const { return m_dMinimumAll; }
    const std::array<double, 5> &Aopt() const { return m_Aopt; }
    int32_t LengthXrome() const { return m_LengthXrome; }
    const std::vector<PosGen> &ListGens() const { return m_ListGens; }
    const std::vector<Xromosome> &ListBest() const { return m_ListBest; }
    size_t populationSize() const { return m_pop.size(); }
    const Xromosome &individual(size_t k) const { return *m_pop[k]; }
    int64_t evaluations() const { return m_evaluations; }
    //! Evaluations made by the helper threads (the rest ran on the run's own thread).
    int64_t helperEvaluations() const;
    //! Individuals the last copy step took from the stored bests.
    size_t lastCopied() const { return m_lastCopied; }
    //! The objective of a parameter vector (Ao[0..4]) as the run values it.
    double objective(const std::array<double, 5> &Ao) const;

private:
    using Ptr = std::unique_ptr<Xromosome>;
    Ptr newIndividual();
    void reseed();
    void evaluateBatch();
    void sortPopulation();
    void MakePopulation();
    void CrossingOver(int32_t g);
    void Mutation();
    void DestroyBad(size_t iNumOsobey);
    void MoveBest(int32_t g);

    struct Objective;

    GenInput m_in;
    GenControl &m_ctl;
    GenHost &m_host;
    SeedSource m_seeds;
    const std::atomic<bool> *m_abort = nullptr;
    bool m_clearAtBegin = true;
    GenRandom m_rnd;
    std::unique_ptr<Objective> m_obj;
    std::unique_ptr<GenParallel> m_par;

    std::vector<PosGen> m_ListGens;
    int32_t m_L = 0;
    int32_t m_LengthXrome = 0;
    int32_t m_N = 0;
    double m_fPCrossingOver = 0;
    double m_fPMutation = 0;
    double m_dMinimumAll = 1e306;
    std::array<double, 5> m_Ao{};
    std::array<double, 5> m_Aopt{};
    bool m_haveBest = false;
    bool m_showProgress = false;
    int32_t m_i = 1;
    int32_t m_done = 0;
    int64_t m_evaluations = 0;
    size_t m_lastCopied = 0;

    std::vector<Ptr> m_pop;         //!< ListPopulation; index 0 is the best after a sort
    std::vector<Ptr> m_spare;       //!< disposed individuals, reused for new ones
    std::vector<Xromosome> m_ListBest;
    std::vector<Xromosome *> m_batch;                 //!< individuals to evaluate
    std::vector<std::array<double, 5>> m_initAo;      //!< drawn vectors of MakePopulation
    std::vector<uint8_t> m_dirty;     //!< per individual: may be out of order (sort)
    std::vector<uint8_t> m_mutated;   //!< per individual: flipped in this Mutation
    MarkedSortScratch<Ptr> m_sort;
};

} // namespace obr
