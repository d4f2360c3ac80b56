#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/compute_search_result.h"
#include "engine/nonce_range.h"
#include "guard/pressure_advice.h"
#include "tasks/scheduler_timing.h"

namespace corvanta::engine {
class ComputeEngine;
class RangePool;
}  // namespace corvanta::engine

namespace corvanta::tasks {

// The task a run searches.
struct RunTask {
    QString id;
    QString seed;
    std::string seedUtf8;
    int difficulty = 0;
    std::uint64_t upperBound = 0;
};

// What a worker lane may see and do of the run it works for: the task, the advice, the pool, the
// engine, and the few things it reports back. The task scheduler gives it to each of its lanes;
// a lane reaches nothing else of the scheduler. Main thread only.
class WorkerLaneContext {
public:
    // Hands one hit of a search on; runs on the main thread, possibly after the lane has ended.
    using CandidateHook = std::function<void(std::uint64_t nonce)>;

    virtual ~WorkerLaneContext() = default;

    virtual const RunTask& task() const = 0;
    virtual const SchedulerTiming& timing() const = 0;
    virtual guard::PressureAdvice advice() const = 0;
    virtual std::shared_ptr<engine::RangePool> rangePool() const = 0;
    virtual engine::ComputeEngine& computeEngine() = 0;
    // The run is being abandoned (a stop, a pause) or is solved: lanes end.
    virtual bool isCancelled() const = 0;
    // Nonces are left to claim, now or once returned ranges come back.
    virtual bool workRemains() const = 0;
    // Queues a save of the run's progress.
    virtual void persistProgress() = 0;
    // Where a search of `segment` hands its hits: validation, with a line under `category` and
    // `prefix`. It does nothing once the run has moved on to another task.
    virtual CandidateHook candidateHook(const QString& category, const QString& prefix,
                                        int segment) = 0;
    // A segment was searched to its end: counts it toward the run's throughput (with the
    // throughput line when one is due) and reports the run's progress.
    virtual void segmentSearched(const engine::ComputeSearchResult& result,
                                 const engine::NonceRange& range) = 0;
    virtual void log(const QString& category, const QString& message) const = 0;
};

}  // namespace corvanta::tasks
