// SPDX-License-Identifier: MIT
#include "genetic_parallel.h"

#include <algorithm>
#include <chrono>

namespace obr {

namespace {
//! Below this many items the hand-over costs more than it saves.
constexpr size_t kMinParallel = 64;
//! How long a helper that has finished a range looks for the next one before it sleeps.
//! A fit hands out one range per evaluation, a fraction of a millisecond apart: a helper
//! woken through the condition variable each time would come too late to take a part.
constexpr auto kStayAwake = std::chrono::microseconds(300);
} // namespace

GenParallel::GenParallel(int threads)
{
    if (threads <= 0)
        threads = int(std::thread::hardware_concurrency());
    if (threads < 1)
        threads = 1;
    for (int k = 1; k < threads; ++k)
        m_helpers.emplace_back([this, k] { helper(size_t(k)); });
}

GenParallel::~GenParallel()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
        m_quitNow.store(true);
    }
    m_start.notify_all();
    for (auto &t : m_helpers)
        t.join();
}

size_t GenParallel::work()
{
    size_t done = 0;
    for (;;) {
        const size_t b = m_next.fetch_add(m_chunk);
        if (b >= m_n)
            return done;
        const size_t e = std::min(m_n, b + m_chunk);
        (*m_fn)(b, e);
        done += e - b;
    }
}

void GenParallel::helper(size_t)
{
    uint64_t seen = 0;
    for (;;) {
        const auto until = std::chrono::steady_clock::now() + kStayAwake;
        while (m_roundNow.load(std::memory_order_acquire) == seen && !m_quitNow.load() &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_start.wait(lock, [&] { return m_quit || m_round != seen; });
            if (m_quit)
                return;
            seen = m_round;
            if (!m_open)
                continue;   // the caller has finished this range already
            ++m_active;
        }
        std::exception_ptr err;
        try {
            m_helperItems.fetch_add(work());
        } catch (...) {
            err = std::current_exception();
            m_next.store(m_n);   // let the others stop early
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (err && !m_error)
                m_error = err;
            if (--m_active == 0)
                m_done.notify_one();
        }
    }
}

void GenParallel::run(size_t n, const std::function<void(size_t, size_t)> &fn)
{
    if (m_helpers.empty() || n < kMinParallel) {
        fn(0, n);
        return;
    }
    const size_t T = m_helpers.size() + 1;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_fn = &fn;
        m_n = n;
        m_chunk = std::max<size_t>(16, n / (8 * T));
        m_next.store(0);
        m_error = nullptr;
        m_open = true;
        ++m_round;
        m_roundNow.store(m_round, std::memory_order_release);
    }
    m_start.notify_all();
    std::exception_ptr err;
    try {
        work();
    } catch (...) {
        err = std::current_exception();
        m_next.store(n);
    }
    std::exception_ptr helperErr;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_open = false;
        m_done.wait(lock, [&] { return m_active == 0; });
        helperErr = m_error;
        m_fn = nullptr;
    }
    if (err)
        std::rethrow_exception(err);
    if (helperErr)
        std::rethrow_exception(helperErr);
}

} // namespace obr
