// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief Helper threads that join the calling thread on one short job at a time.
 *
 * Made for the evaluations of a fit: jobs of some tens of microseconds, one right after
 * the other, on the thread that walks. Handing a job over must cost far less than that,
 * so the helpers look for the next job by spinning on one atomic word (for a while after
 * each job, then they sleep), and the caller never waits for a helper that has not
 * joined: a helper that the system does not run soon only misses the job.
 *
 * The caller opens a job, does its own part, closes the job and waits for the helpers
 * that joined to leave it. A helper joins only while the job is open and reads the job
 * only between joining and leaving, so the caller may reuse everything the job points to
 * once run() returns.
 */
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace obr::detail {

//! Waits a little inside a spin loop (the processor's pause hint where there is one).
void spinPause();

//! A spin loop's wait for another thread of the team: pauses, and after a few thousand
//! rounds gives the core away now and then, so a helper that the system has taken off
//! its core (a loaded machine) gets it back sooner.
class SpinWait {
public:
    void operator()();
    //! True once the wait has been long enough to give the core away.
    bool gaveWay() const { return m_yielded; }

private:
    unsigned m_rounds = 0;
    bool m_yielded = false;
};

class EvalTeam {
public:
    //! The helpers' part of a job.
    class Job {
    public:
        //! Called on every helper that joins the job; \a helper numbers them from 1.
        virtual void help(unsigned helper) = 0;

    protected:
        ~Job() = default;
    };

    //! \a threads in all, the caller included; 0 = one per core.
    explicit EvalTeam(int threads);
    ~EvalTeam();
    EvalTeam(const EvalTeam &) = delete;
    EvalTeam &operator=(const EvalTeam &) = delete;

    int threads() const { return int(m_helpers.size()) + 1; }

    /*! Opens \a job to the helpers, calls \a callerPart on this thread, then closes the
     *  job and returns once every helper that joined it has left. callerPart must finish
     *  the job on its own when no helper joins, and must not throw (a helper may be
     *  waiting for its progress). Returns false when the caller had to wait long for a
     *  helper to leave (the helper was off its core). */
    template <class F>
    bool run(Job &job, F &&callerPart) noexcept
    {
        open(job);
        callerPart();
        return close();
    }

private:
    void open(Job &job);
    bool close();
    void helper(unsigned index);

    // The gate: the job's number in the high 32 bits, the closed flag, the helpers in it.
    static constexpr uint64_t kClosed = uint64_t(1) << 31;
    static constexpr uint64_t kActive = kClosed - 1;

    alignas(64) std::atomic<uint64_t> m_gate{kClosed};
    Job *m_job = nullptr;   //!< written before the gate opens, read by helpers that joined
    alignas(64) std::atomic<uint32_t> m_sleepers{0};
    std::atomic<uint32_t> m_wake{0};
    std::atomic<bool> m_quit{false};
    std::vector<std::thread> m_helpers;
};

}   // namespace obr::detail
