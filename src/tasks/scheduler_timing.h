#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace corvanta::tasks {

// The clock and the scale of the fixed intervals (500 ms sleeps, 2 s and 10 s log throttles,
// 1 s throughput lines). Tests shrink the scale to run those behaviours in milliseconds.
struct SchedulerTiming {
    using Clock = std::chrono::steady_clock;
    double intervalScale = 1.0;
    std::function<Clock::time_point()> clock = [] { return Clock::now(); };

    std::chrono::milliseconds scaled(std::chrono::milliseconds interval) const {
        return std::chrono::milliseconds(
            static_cast<std::int64_t>(static_cast<double>(interval.count()) * intervalScale + 0.5));
    }
    Clock::duration scaledDuration(std::chrono::milliseconds interval) const {
        return std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::milli>(static_cast<double>(interval.count()) *
                                                      intervalScale));
    }
};

}  // namespace corvanta::tasks
