// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief The genetic optimiser's breeding run, a plain engine that no thread or widget is
 * needed to drive: its control, its host, its result. This header also brings in the
 * optimiser's other parts: texts (genetic_texts.h), chromosomes (genetic_encoding.h), the
 * criterion (genetic_objective.h), random numbers (genetic_random.h), schedules
 * (genetic_schedules.h) and settings (genetic_settings.h).
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
#include "fit/genetic_encoding.h"
#include "fit/genetic_objective.h"
#include "fit/genetic_random.h"
#include "fit/genetic_schedules.h"
#include "fit/genetic_settings.h"
#include "fit/genetic_sort.h"
#include "fit/genetic_texts.h"
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
// Control and results

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
    int32_t m_iop = 3;                   //!< genes: 3, plus one per fitted warranty figure
    std::array<double, 5> m_NormA{};     //!< value of one step of each gene
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
