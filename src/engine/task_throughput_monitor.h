#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace corvanta::engine {

// Counters the lanes of one run share for the throughput summary line.
struct TaskThroughputAccumulator {
    using Clock = std::chrono::steady_clock;

    Clock::time_point startedAt;
    Clock::time_point lastSummaryAt;
    std::uint64_t lastSummaryNonceCount = 0;
    std::uint64_t totalNonceCount = 0;
    std::uint64_t totalSegments = 0;
    std::uint64_t totalCandidates = 0;

    static TaskThroughputAccumulator startingAt(Clock::time_point now) {
        TaskThroughputAccumulator a;
        a.startedAt = now;
        a.lastSummaryAt = now;
        return a;
    }
};

// Holds the accumulator of a run; lanes update it one at a time.
class TaskThroughputMonitor {
public:
    TaskThroughputMonitor();

    void reset(
        TaskThroughputAccumulator::Clock::time_point now = TaskThroughputAccumulator::Clock::now());
    TaskThroughputAccumulator read() const;
    // Runs `update` on the accumulator under the monitor's lock and returns what it returns.
    template <typename F>
    auto update(F&& update) {
        std::lock_guard lock(mutex_);
        return std::forward<F>(update)(accumulator_);
    }

private:
    mutable std::mutex mutex_;
    TaskThroughputAccumulator accumulator_;
};

}  // namespace corvanta::engine
