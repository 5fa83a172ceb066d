// SPDX-License-Identifier: MIT
#include "genetic_parallel.h"

namespace obr {

namespace {
//! Below this many items the hand-over costs more than it saves.
constexpr size_t kMinParallel = 64;
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
    }
    m_start.notify_all();
    for (auto &t : m_helpers)
        t.join();
}

void GenParallel::helper(size_t index)
{
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(size_t, size_t)> *fn;
        size_t n;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_start.wait(lock, [&] { return m_quit || m_round != seen; });
            if (m_quit)
                return;
            seen = m_round;
            fn = m_fn;
            n = m_n;
        }
        const size_t T = m_helpers.size() + 1;
        std::exception_ptr err;
        try {
            (*fn)(n * index / T, n * (index + 1) / T);
        } catch (...) {
            err = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (err && !m_error)
                m_error = err;
            if (--m_pending == 0)
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
        m_pending = m_helpers.size();
        m_error = nullptr;
        ++m_round;
    }
    m_start.notify_all();
    std::exception_ptr err;
    try {
        fn(0, n / T);
    } catch (...) {
        err = std::current_exception();
    }
    std::exception_ptr helperErr;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&] { return m_pending == 0; });
        helperErr = m_error;
        m_fn = nullptr;
    }
    if (err)
        std::rethrow_exception(err);
    if (helperErr)
        std::rethrow_exception(helperErr);
}

} // namespace obr
