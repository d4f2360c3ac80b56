#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace corvanta::engine {

// Background threads for searches, at low priority (SCHED_BATCH, nice +10) so that everything
// else on the machine comes first. A job never waits for another one to finish: when no thread
// is idle a new one is started, and idle threads are kept for reuse. The destructor waits for
// every job and joins every thread. A job that throws is logged to the system log and ends; its
// thread lives on.
class SearchThreadPool {
public:
    SearchThreadPool() = default;
    ~SearchThreadPool();
    SearchThreadPool(const SearchThreadPool&) = delete;
    SearchThreadPool& operator=(const SearchThreadPool&) = delete;

    void submit(std::function<void()> job);
    std::size_t threadCount() const;

private:
    void workerLoop();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

// Lowers the calling thread's priority below the rest of the process. Best effort.
void lowerCurrentThreadPriority();

}  // namespace corvanta::engine
