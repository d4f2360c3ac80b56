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
#include "tasks/compute_worker_lane.h"
#include "tasks/lane_plan.h"
#include "tasks/task_state_store.h"
#include "tasks/task_state_store_thread.h"

namespace corvanta::async {
class SolvedSignal;
}

namespace corvanta::tasks {

class ValidationCoordinator;

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
};

// Runs one proof-of-work task to its end over its worker lanes: restores or creates the range
// pool, plans lanes from the pressure advice, and waits until a candidate is accepted, the whole
// range was searched without success, or the run is abandoned (cancelled). An abandoned run
// keeps its stored progress with every candidate not yet accepted, and the next run of the task
// validates those first. One run at a time. Main thread only, except cancelRun() and
// isCancelled().
class TaskScheduler : public QObject {
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
    bool isCancelled() const;
    // A run is in progress (from runTask's start until it returns).
    bool isRunning() const { return running_; }
    // A run of `taskId` is in progress and not cancelled: its candidates may still be submitted.
    bool runsTask(const QString& taskId) const;

    void setOnLog(LogCallback onLog) { onLog_ = std::move(onLog); }
    void setOnProgress(ProgressCallback onProgress) { onProgress_ = std::move(onProgress); }

    engine::ComputeEngine& computeEngine() { return *computeEngine_; }
    std::shared_ptr<engine::RangePool> rangePool() const { return rangePool_; }
    TaskStateStoreThread* stateStore() const { return stateStore_.get(); }
    const QString& currentTaskId() const { return currentTaskId_; }

private:
    friend class WorkerLaneLoop;

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
    bool workRemains() const;
    bool validationPending() const;
    // Candidates of the current run not yet accepted: those kept when validation was abandoned,
    // then those the coordinator still holds for the run's task.
    std::vector<std::uint64_t> unsettledCandidates() const;
    void keepCandidates(const std::vector<std::uint64_t>& nonces);
    // Saves the pool and the unsettled candidates of the current run (when there is a store).
    // The save is queued for the store thread: on disk a moment later.
    void persistProgress();
    void deleteProgress();
    void reportStoreError(const QString& line) const;
    static std::unique_ptr<TaskStateStoreThread> startStoreThread(
        std::unique_ptr<TaskStateStore> store, TaskScheduler* scheduler);
    void log(const QString& category, const QString& message) const;
    guard::PressureAdvice advice() const;

    TaskSchedulerDependencies deps_;
    std::unique_ptr<engine::ComputeEngine> computeEngine_;
    ValidationCoordinator& coordinator_;
    std::unique_ptr<TaskStateStoreThread> stateStore_;
    engine::TaskThroughputMonitor throughputMonitor_;
    std::shared_ptr<engine::WorkerRegistry> workerRegistry_;
    mutable std::mutex lock_;
    bool isCancelled_ = false;
    // Requested by cancelRun(); wakes a run that waits with no worker left.
    std::shared_ptr<std::stop_source> runCancel_;
    bool running_ = false;
    std::vector<std::uint64_t> keptCandidates_;
    std::shared_ptr<engine::RangePool> rangePool_;
    QString currentTaskId_;
    QString currentSeed_;
    std::string currentSeedUtf8_;
    int currentDifficulty_ = 0;
    std::uint64_t currentUpperBound_ = 0;
    LogCallback onLog_;
    ProgressCallback onProgress_;
};

}  // namespace corvanta::tasks
