// SPDX-License-Identifier: MIT
#include "eval_team.h"

#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace obr::detail {

namespace {
//! How long a helper looks for the next job before it sleeps. A fit hands out a job per
//! evaluation, a few tens of microseconds apart, with a longer gap now and then (a new
//! set point); a helper woken from sleep each time would come too late to take a part.
constexpr auto kStayAwake = std::chrono::microseconds(300);
}   // namespace

void spinPause()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

void SpinWait::operator()()
{
    if (++m_rounds < 4096) {
        spinPause();
        return;
    }
    m_rounds = 3072;
    m_yielded = true;
    std::this_thread::yield();
}

EvalTeam::EvalTeam(int threads)
{
    if (threads <= 0)
        threads = int(std::thread::hardware_concurrency());
    for (int k = 1; k < threads; ++k)
        m_helpers.emplace_back([this, k] { helper(unsigned(k)); });
}

EvalTeam::~EvalTeam()
{
    m_quit.store(true);
    m_wake.fetch_add(1);
    m_wake.notify_all();
    for (auto &t : m_helpers)
        t.join();
}

void EvalTeam::open(Job &job)
{
    // Closed with nobody in it: no helper changes the gate until it opens.
    const uint64_t g = m_gate.load(std::memory_order_relaxed);
    m_job = &job;
    const uint64_t number = ((g >> 32) + 1) & 0xffffffffu;
    m_gate.store(number << 32);
    // A helper about to sleep either sees the open gate or is counted here.
    if (m_sleepers.load() > 0) {
        m_wake.fetch_add(1);
        m_wake.notify_all();
    }
}

bool EvalTeam::close()
{
    m_gate.fetch_or(kClosed, std::memory_order_acq_rel);
    SpinWait wait;
    while (m_gate.load(std::memory_order_acquire) & kActive)
        wait();
    return !wait.gaveWay();
}

void EvalTeam::helper(unsigned index)
{
    uint64_t seen = 0;   // the number of the last job this helper is done with
    for (;;) {
        uint64_t g = 0;
        auto until = std::chrono::steady_clock::now() + kStayAwake;
        for (unsigned spins = 1;; ++spins) {
            if (m_quit.load(std::memory_order_relaxed))
                return;
            g = m_gate.load(std::memory_order_acquire);
            if ((g >> 32) != seen) {
                if (!(g & kClosed))
                    break;
                seen = g >> 32;   // closed before this helper came: missed
            }
            if (spins % 256 != 0) {
                spinPause();
                continue;
            }
            if (std::chrono::steady_clock::now() < until)
                continue;
            // Asleep until the next job opens.
            m_sleepers.fetch_add(1);
            const uint32_t w = m_wake.load();
            if (m_gate.load() == g && !m_quit.load())
                m_wake.wait(w);
            m_sleepers.fetch_sub(1);
            until = std::chrono::steady_clock::now() + kStayAwake;
        }
        // Join while the job is still open (the exchange fails once it closes).
        if (m_gate.compare_exchange_strong(g, g + 1, std::memory_order_acq_rel,
                                           std::memory_order_relaxed)) {
            m_job->help(index);
            m_gate.fetch_sub(1, std::memory_order_release);
            seen = g >> 32;
        }
    }
}

}   // namespace obr::detail
