#include "engine/task_throughput_monitor.h"

namespace corvanta::engine {

TaskThroughputMonitor::TaskThroughputMonitor()
    : accumulator_(TaskThroughputAccumulator::startingAt(TaskThroughputAccumulator::Clock::now())) {
}

void TaskThroughputMonitor::reset(TaskThroughputAccumulator::Clock::time_point now) {
    std::lock_guard lock(mutex_);
    accumulator_ = TaskThroughputAccumulator::startingAt(now);
}

TaskThroughputAccumulator TaskThroughputMonitor::read() const {
    std::lock_guard lock(mutex_);
    return accumulator_;
}

}  // namespace corvanta::engine
