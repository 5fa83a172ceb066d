// SPDX-License-Identifier: MIT
#pragma once
/*! \file
 * \brief A small fixed set of helper threads that split one index range between them and
 * the calling thread. Used by the genetic optimiser to value a step's new individuals.
 */
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace obr {

class GenParallel {
public:
    //! \a threads in all, the caller included; 0 = one per core.
    explicit GenParallel(int threads);
    ~GenParallel();
    GenParallel(const GenParallel &) = delete;
    GenParallel &operator=(const GenParallel &) = delete;

    int threads() const { return int(m_helpers.size()) + 1; }
    //! Items done by the helper threads so far (the rest ran on the callers).
    uint64_t helperItems() const { return m_helperItems.load(); }

    /*! Calls fn(begin, end) on contiguous parts of [0, n) and returns when all are done.
     *  The parts are handed out one by one to whichever thread is free, the caller
     *  included, so a helper that the system does not run soon never holds the caller
     *  up: the caller only waits for parts already taken. Small ranges run on the caller
     *  alone. The first exception thrown by any part is rethrown here. */
    void run(size_t n, const std::function<void(size_t, size_t)> &fn);

private:
    void helper(size_t index);

    std::vector<std::thread> m_helpers;
    std::mutex m_mutex;
    std::condition_variable m_start;
    std::condition_variable m_done;
    //! Takes parts of the current range until none is left.
    //! Returns the number of items done.
    size_t work();

    const std::function<void(size_t, size_t)> *m_fn = nullptr;
    size_t m_n = 0;
    size_t m_chunk = 1;
    std::atomic<size_t> m_next{0};
    uint64_t m_round = 0;
    std::atomic<uint64_t> m_roundNow{0};   //!< m_round, for helpers looking without the lock
    std::atomic<bool> m_quitNow{false};
    bool m_open = false;     //!< helpers may still join the current range
    size_t m_active = 0;     //!< helpers working on the current range
    bool m_quit = false;
    std::atomic<uint64_t> m_helperItems{0};
    std::exception_ptr m_error;
};

} // namespace obr
