#pragma once

#include <QCoroTask>
#include <QString>

#include <chrono>
#include <optional>
#include <stop_token>

#include "engine/compute_search_result.h"
#include "tasks/compute_worker_lane.h"

namespace corvanta::tasks {

class WorkerLaneContext;

// The loop one worker runs for its lane: obey the advice, claim a segment, search it, hand hits
// to validation, record the segment, save progress, and log, until the run is cancelled, the
// pool is exhausted or a search fails.
class WorkerLaneLoop {
public:
    // `budgetIndex` is the index the lane's budget is judged by; by default its lane index.
    WorkerLaneLoop(WorkerLaneContext& run, ComputeWorkerLane lane,
                   std::optional<int> budgetIndex = std::nullopt);

    QCoro::Task<void> run(std::stop_token stop);

private:
    using Clock = std::chrono::steady_clock;

    bool cancelled(const std::stop_token& stop) const;
    bool poolExhausted() const;
    // True when a pause line with `key` is due (and records it as written).
    bool pauseLineDue(const QString& key);
    void writeDoneLine(const engine::ComputeSearchResult& result, int segment, std::uint64_t start,
                       std::uint64_t end, double elapsedSeconds);
    void log(const QString& message) const;
    Clock::time_point now() const;
    bool throttled(const std::optional<Clock::time_point>& last,
                   std::chrono::milliseconds interval) const;

    WorkerLaneContext& run_;
    const ComputeWorkerLane lane_;
    const int budgetIndex_;
    const QString category_;
    const QString prefix_;
    Clock::time_point laneStartedAt_;
    int segments_ = 0;
    std::optional<QString> lastPauseKey_;
    std::optional<Clock::time_point> lastPauseLogAt_;
    std::optional<Clock::time_point> lastClaimLogAt_;
    std::optional<Clock::time_point> lastDoneLogAt_;
};

}  // namespace corvanta::tasks
