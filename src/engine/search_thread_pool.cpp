#include "engine/search_thread_pool.h"

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <string>

#include "engine/system_log.h"

namespace corvanta::engine {

void lowerCurrentThreadPriority() {
#ifdef __linux__
    sched_param param{};
    param.sched_priority = 0;
    sched_setscheduler(0, SCHED_BATCH, &param);  // 0: the calling thread
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, tid, std::min(current + 10, 19));
    }
#endif
}

namespace {

// Jobs report their own failures; one that throws all the same must not end the process, and the
// thread goes on to the next job.
void runJob(const std::function<void()>& job) {
    try {
        job();
    } catch (const std::exception& error) {
        writeSystemLog(SystemLogLevel::error,
                       std::string("search thread job failed: ") + error.what());
    } catch (...) {
        writeSystemLog(SystemLogLevel::error, "search thread job failed");
    }
}

}  // namespace

SearchThreadPool::~SearchThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void SearchThreadPool::submit(std::function<void()> job) {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
    if (idle_ >= jobs_.size()) {
        wake_.notify_one();
    } else {
        threads_.emplace_back([this] { workerLoop(); });
    }
}

std::size_t SearchThreadPool::threadCount() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

void SearchThreadPool::workerLoop() {
    lowerCurrentThreadPriority();
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        if (jobs_.empty()) {
            return;  // stopping and nothing left to run
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        runJob(job);
        lock.lock();
    }
}

}  // namespace corvanta::engine
