#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <vector>

#include "async/task_group.h"
#include "engine/compute_engine.h"
#include "engine/range_pool.h"
#include "engine/task_throughput_monitor.h"
#include "engine/worker_registry.h"
#include "guard/pressure_advice.h"
#include "guard/system_snapshot.h"
#include "log/log_tag.h"
#include "tasks/compute_worker_lane.h"
#include "tasks/engine_counters.h"
#include "tasks/lane_plan.h"
#include "tasks/scheduler_timing.h"
#include "tasks/task_state_store.h"
#include "tasks/task_state_store_thread.h"
#include "tasks/worker_lane_context.h"

namespace corvanta::async {
class SolvedSignal;
}

namespace corvanta::tasks {

class ValidationCoordinator;

struct TaskSchedulerDependencies {
    ValidationCoordinator* coordinator = nullptr;  // required
    std::function<guard::PressureAdvice()> currentAdvice;
    std::function<guard::SystemSnapshot()> currentSnapshot;
    // Without a store the scheduler runs without persistence. The scheduler writes to it on a
    // store thread of its own.
    std::unique_ptr<TaskStateStore> stateStore;
    engine::ComputeEngine::Options engineOptions;
    SchedulerTiming timing;
    LaneChunkSizes chunkSizes;
    // Where the nonces searched, the latest rate and the lanes of a run are counted; optional.
    EngineCounters* counters = nullptr;
};

// Runs one proof-of-work task to its end over its worker lanes: restores or creates the range
// pool, plans lanes from the pressure advice, and waits until a candidate is accepted, the whole
// range was searched without success, or the run is abandoned (cancelled). An abandoned run
// keeps its stored progress with every candidate not yet accepted, and the next run of the task
// validates those first. One run at a time. Main thread only, except cancelRun() and
// isCancelled(). Its lanes see the run through the WorkerLaneContext it implements.
class TaskScheduler : public QObject, private WorkerLaneContext {
    Q_OBJECT

public:
    using LogCallback = std::function<void(const QString& category, const QString& message)>;
    using ProgressCallback =
        std::function<void(const QString& taskId, const QString& seed, int difficulty,
                           std::uint64_t noncePosition, std::uint64_t upperBound)>;

    explicit TaskScheduler(TaskSchedulerDependencies dependencies, QObject* parent = nullptr);
    ~TaskScheduler() override;

    // Opens the task database in the application-data directory; nothing when it cannot be
    // opened.
    static std::unique_ptr<TaskStateStore> openDefaultStore();

    // True when the task was solved. Stopping `stop`, or cancelRun(), abandons the run (stored
    // progress is kept). Throws std::logic_error while another run is in progress.
    QCoro::Task<bool> runTask(QString taskId, QString seed, int difficulty,
                              std::uint64_t upperBound, std::uint64_t startNonce,
                              std::stop_token stop);
    // Stops the lanes of the current run, which then ends abandoned. Any thread; returns at once.
    void cancelRun();
    bool isCancelled() const override;
    // A run is in progress (from runTask's start until it returns).
    bool isRunning() const { return running_; }
    // A run of `taskId` is in progress and not cancelled: its candidates may still be submitted.
    bool runsTask(const QString& taskId) const;

    void setOnLog(LogCallback onLog) { onLog_ = std::move(onLog); }
    void setOnProgress(ProgressCallback onProgress) { onProgress_ = std::move(onProgress); }

    engine::ComputeEngine& computeEngine() override { return *computeEngine_; }
    std::shared_ptr<engine::RangePool> rangePool() const override { return rangePool_; }
    TaskStateStoreThread* stateStore() const { return stateStore_.get(); }
    const QString& currentTaskId() const { return task_.id; }
    // Nonces per second over the last throughput interval (about a second) of the current or
    // last run; 0 until a run has searched for that long. Main thread.
    double latestRate() const { return latestRate_; }

private:
    // WorkerLaneContext, for the lanes; computeEngine(), rangePool() and isCancelled() above.
    const RunTask& task() const override { return task_; }
    const SchedulerTiming& timing() const override { return deps_.timing; }
    guard::PressureAdvice advice() const override;
    bool workRemains() const override;
    // Saves the pool and the unsettled candidates of the current run (when there is a store).
    // The save is queued for the store thread: on disk a moment later.
    void persistProgress() override;
    CandidateHook candidateHook(const QString& category, const QString& prefix,
                                int segment) override;
    void segmentSearched(const engine::ComputeSearchResult& result,
                         const engine::NonceRange& range) override;
    void log(const QString& category, const QString& message) const override;
    void log(log::LogCategory category, const QString& message) const;

    struct PoolChoice {
        std::shared_ptr<engine::RangePool> pool;
        std::optional<TaskRangeProgress> restoredRecord;
    };
    PoolChoice choosePool(const QString& taskId, int difficulty, std::uint64_t upperBound,
                          std::uint64_t startNonce);
    QString startLine(const std::vector<ComputeWorkerLane>& lanes, std::uint64_t upperBound,
                      std::uint64_t startNonce, bool restored) const;
    QCoro::Task<bool> runWorkerGroup(std::vector<ComputeWorkerLane> lanes,
                                     std::shared_ptr<async::SolvedSignal> solved,
                                     std::stop_token stop, std::stop_token cancelled);
    // `budgetIndex`: see WorkerLaneLoop.
    QCoro::Task<WorkerResult> runWorker(int workerId, ComputeWorkerLane lane,
                                        std::shared_ptr<engine::WorkerRegistry> registry,
                                        std::stop_token stop,
                                        std::optional<int> budgetIndex = std::nullopt);
    QCoro::Task<bool> endOfRangeWait(async::TaskGroup<WorkerResult>& group,
                                     const std::shared_ptr<async::SolvedSignal>& solved,
                                     std::stop_token stop);
    QCoro::Task<bool> finishSolved(async::TaskGroup<WorkerResult>& group,
                                   const std::shared_ptr<async::SolvedSignal>& solved,
                                   const QString& line);
    QCoro::Task<bool> finishFailed(async::TaskGroup<WorkerResult>& group,
                                   const std::shared_ptr<async::SolvedSignal>& solved);
    QCoro::Task<bool> finishAbandoned(async::TaskGroup<WorkerResult>& group,
                                      const std::shared_ptr<async::SolvedSignal>& solved);
    bool runCancelled(const std::stop_token& stop) const;
    bool validationPending() const;
    // Candidates of the current run not yet accepted: those kept when validation was abandoned,
    // then those the coordinator still holds for the run's task.
    std::vector<std::uint64_t> unsettledCandidates() const;
    void keepCandidates(const std::vector<std::uint64_t>& nonces);
    // A hit of the current run's `segment`, found by the lane of `category` and `prefix`.
    void reportCandidate(const QString& category, const QString& prefix, std::uint64_t nonce,
                         int segment);
    void deleteProgress();
    // The lanes of the run starting now into the counters; none when it has ended.
    void countLanes(const std::vector<ComputeWorkerLane>& lanes);
    void reportStoreError(const QString& line) const;
    static std::unique_ptr<TaskStateStoreThread> startStoreThread(
        std::unique_ptr<TaskStateStore> store, TaskScheduler* scheduler);

    TaskSchedulerDependencies deps_;
    std::unique_ptr<engine::ComputeEngine> computeEngine_;
    ValidationCoordinator& coordinator_;
    std::unique_ptr<TaskStateStoreThread> stateStore_;
    engine::TaskThroughputMonitor throughputMonitor_;
    double latestRate_ = 0;
    std::shared_ptr<engine::WorkerRegistry> workerRegistry_;
    mutable std::mutex lock_;
    bool isCancelled_ = false;
    // Requested by cancelRun(); wakes a run that waits with no worker left.
    std::shared_ptr<std::stop_source> runCancel_;
    bool running_ = false;
    std::vector<std::uint64_t> keptCandidates_;
    std::shared_ptr<engine::RangePool> rangePool_;
    RunTask task_;
    LogCallback onLog_;
    ProgressCallback onProgress_;
};

}  // namespace corvanta::tasks
