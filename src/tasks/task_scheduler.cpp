#include "tasks/task_scheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <stdexcept>

#include "async/cancellable_sleep.h"
#include "async/solved_signal.h"
#include "log/log_tag.h"
#include "tasks/lane_plan.h"
#include "tasks/store_error.h"
#include "tasks/validation_coordinator.h"
#include "tasks/worker_lane_loop.h"

namespace corvanta::tasks {

namespace {

using namespace std::chrono_literals;
using log::LogCategory;

// "persist failed error=" and the error, as the run log shows a failed save.
QString persistFailedLine(const std::exception& error) {
    QString line = QStringLiteral("persist failed error=") + QString::fromStdString(error.what());
    if (const auto* storeError = dynamic_cast<const StoreError*>(&error)) {
        line += QStringLiteral(" (%1 error %2.)")
                    .arg(QString::fromStdString(storeError->domain()))
                    .arg(storeError->code());
    }
    return line;
}

double secondsBetween(SchedulerTiming::Clock::time_point from,
                      SchedulerTiming::Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Wakes on the group's stop and on cancelRun() as well, so that a run left without workers ends
// when it is cancelled.
QCoro::Task<WorkerResult> waitForSolved(std::shared_ptr<async::SolvedSignal> solved,
                                        std::stop_token stop, std::stop_token cancelled) {
    std::stop_source wake;
    auto forward = [&wake] { wake.request_stop(); };
    std::stop_callback onStop(stop, forward);
    std::stop_callback onCancel(cancelled, forward);
    const std::stop_token token = wake.get_token();
    const bool event = co_await solved->next(token);
    co_return event ? WorkerResult::solved : WorkerResult::signalClosed;
}

}  // namespace

std::unique_ptr<TaskStateStoreThread> TaskScheduler::startStoreThread(
    std::unique_ptr<TaskStateStore> store, TaskScheduler* scheduler) {
    if (!store) {
        return nullptr;
    }
    TaskStateStoreThread::Options options;
    // Runs on the store thread; the line goes to the run log from the main thread, unless the
    // scheduler is gone by then.
    options.onError = [scheduler =
                           QPointer<TaskScheduler>(scheduler)](const std::exception& error) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [scheduler, line = persistFailedLine(error)] {
                if (scheduler) {
                    scheduler->reportStoreError(line);
                }
            },
            Qt::QueuedConnection);
    };
    return std::make_unique<TaskStateStoreThread>(std::move(store), std::move(options));
}

TaskScheduler::TaskScheduler(TaskSchedulerDependencies dependencies, QObject* parent)
    : QObject(parent),
      deps_(std::move(dependencies)),
      computeEngine_(std::make_unique<engine::ComputeEngine>(deps_.engineOptions)),
      coordinator_(*deps_.coordinator),
      stateStore_(startStoreThread(std::move(deps_.stateStore), this)),
      workerRegistry_(std::make_shared<engine::WorkerRegistry>()) {}

TaskScheduler::~TaskScheduler() {
    cancelRun();
}

std::unique_ptr<TaskStateStore> TaskScheduler::openDefaultStore() {
    try {
        return std::make_unique<TaskStateStore>();
    } catch (const std::exception&) {
        return nullptr;
    }
}

void TaskScheduler::cancelRun() {
    std::shared_ptr<std::stop_source> runCancel;
    {
        std::lock_guard lock(lock_);
        isCancelled_ = true;
        runCancel = runCancel_;
    }
    if (runCancel) {
        runCancel->request_stop();
    }
    computeEngine_->cancelAllSearches();
}

bool TaskScheduler::isCancelled() const {
    std::lock_guard lock(lock_);
    return isCancelled_;
}

bool TaskScheduler::runsTask(const QString& taskId) const {
    return running_ && !isCancelled() && task_.id == taskId;
}

bool TaskScheduler::runCancelled(const std::stop_token& stop) const {
    return stop.stop_requested() || isCancelled();
}

guard::PressureAdvice TaskScheduler::advice() const {
    return deps_.currentAdvice ? deps_.currentAdvice() : guard::PressureAdvice{};
}

void TaskScheduler::log(const QString& category, const QString& message) const {
    if (onLog_) {
        onLog_(category, message);
    }
}

void TaskScheduler::log(LogCategory category, const QString& message) const {
    log(logTag(category), message);
}

TaskScheduler::PoolChoice TaskScheduler::choosePool(const QString& taskId, int difficulty,
                                                    std::uint64_t upperBound,
                                                    std::uint64_t startNonce) {
    auto fresh = [&] {
        return PoolChoice{std::make_shared<engine::RangePool>(startNonce, upperBound),
                          std::nullopt};
    };
    if (!stateStore_) {
        return fresh();
    }
    std::optional<TaskRangeProgress> record;
    try {
        record = stateStore_->load(task_.seedUtf8);
    } catch (const std::exception&) {
        return fresh();  // unreadable progress is ignored, not deleted
    }
    if (!record) {
        return fresh();
    }
    const bool mismatched = QString::fromStdString(record->taskId) != taskId ||
                            record->difficulty != difficulty || record->upperBound != upperBound;
    const bool spent = record->candidateNonces.empty() && record->returnedRanges.empty() &&
                       record->claimedRanges.empty() && record->nextUnallocated >= upperBound;
    if (mismatched || spent) {
        stateStore_->remove(task_.seedUtf8);
        return fresh();
    }
    auto pool = std::make_shared<engine::RangePool>(startNonce, upperBound, record->nextUnallocated,
                                                    record->completedRanges, record->returnedRanges,
                                                    record->claimedRanges);
    return PoolChoice{std::move(pool), std::move(record)};
}

QString TaskScheduler::startLine(const std::vector<ComputeWorkerLane>& lanes,
                                 std::uint64_t upperBound, std::uint64_t startNonce,
                                 bool restored) const {
    int gpuLanes = 0;
    int cpuLanes = 0;
    std::uint64_t gpuChunk = 0;
    std::uint64_t cpuChunk = 0;
    for (const auto& lane : lanes) {
        if (lane.kind == engine::ComputeWorkerLaneKind::gpu) {
            gpuChunk = gpuLanes++ == 0 ? lane.chunkSize : gpuChunk;
        } else {
            cpuChunk = cpuLanes++ == 0 ? lane.chunkSize : cpuChunk;
        }
    }
    const guard::SystemSnapshot snapshot =
        deps_.currentSnapshot ? deps_.currentSnapshot() : guard::SystemSnapshot{};
    return QStringLiteral("scheduler start backend=hybrid lanes=gpu+cpu gpu=runtime-parity-gated") +
           QStringLiteral(" upper=") + QString::number(upperBound) + QStringLiteral(" from=") +
           QString::number(startNonce) + QStringLiteral(" lanes=gpu:") + QString::number(gpuLanes) +
           QStringLiteral("x") + compactCountLabel(gpuChunk) + QStringLiteral(" cpu:") +
           QString::number(cpuLanes) + QStringLiteral("x") + compactCountLabel(cpuChunk) +
           QStringLiteral(" workers=") + QString::number(lanes.size()) +
           QStringLiteral(" restored=") +
           (restored ? QStringLiteral("true") : QStringLiteral("false")) +
           QStringLiteral(" cpuIdle=") + QString::asprintf("%.0f", 100.0 - snapshot.cpuUsage) +
           QStringLiteral("% memory=") + QString::number(snapshot.memoryPressure) +
           QStringLiteral(" thermal=") + snapshot.thermalState + QStringLiteral(" pressure=") +
           advice().reason;
}

QCoro::Task<bool> TaskScheduler::runTask(QString taskId, QString seed, int difficulty,
                                         std::uint64_t upperBound, std::uint64_t startNonce,
                                         std::stop_token stop) {
    if (running_) {
        // Two runs would share the pool, the lanes' task fields and the coordinator.
        throw std::logic_error(("the task scheduler is still running task " + task_.id + "; task " +
                                taskId + " cannot start before it has ended")
                                   .toStdString());
    }
    running_ = true;
    // Cleared however the run ends, also when its coroutine is destroyed unfinished.
    struct RunMark {
        QPointer<TaskScheduler> scheduler;
        ~RunMark() {
            if (scheduler) {
                scheduler->running_ = false;
                scheduler->countLanes({});
            }
        }
    } const runMark{this};
    auto runCancel = std::make_shared<std::stop_source>();
    {
        std::lock_guard lock(lock_);
        isCancelled_ = false;
        runCancel_ = runCancel;
    }
    keptCandidates_.clear();
    task_.id = taskId;
    task_.seed = seed;
    task_.seedUtf8 = seed.toStdString();
    task_.difficulty = difficulty;
    task_.upperBound = upperBound;

    QPointer<TaskScheduler> self(this);
    computeEngine_->setOnLog([self](std::string_view category, std::string_view message) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, category = QString::fromUtf8(category.data(), qsizetype(category.size())),
             message = QString::fromUtf8(message.data(), qsizetype(message.size()))] {
                if (self) {
                    self->log(category, message);
                }
            },
            Qt::QueuedConnection);
    });

    PoolChoice choice = choosePool(taskId, difficulty, upperBound, startNonce);
    const bool restored = choice.restoredRecord.has_value();
    rangePool_ = choice.pool;
    workerRegistry_ = std::make_shared<engine::WorkerRegistry>();
    throughputMonitor_.reset(deps_.timing.clock());
    latestRate_ = 0;
    coordinator_.resetValidation();

    auto solved = std::make_shared<async::SolvedSignal>();
    const auto savedOnTaskSolved = coordinator_.onTaskSolved();
    coordinator_.setOnTaskSolved([solved, taskId](const QString& id) {
        if (id == taskId) {
            solved->push();
        }
    });
    // A stop or pause resets validation before the lanes' last saves: what it drops is kept
    // for them.
    const auto savedOnTaskAbandoned = coordinator_.onTaskAbandoned();
    coordinator_.setOnTaskAbandoned(
        [self, taskId](const QString& id, const std::vector<std::uint64_t>& unsettled) {
            if (self && id == taskId) {
                self->keepCandidates(unsettled);
            }
        });
    if (restored && !choice.restoredRecord->candidateNonces.empty()) {
        coordinator_.enqueueCandidates(choice.restoredRecord->candidateNonces, taskId, seed);
    }

    auto lanes = buildLanes(startNonce, upperBound, advice(), deps_.chunkSizes);
    log(LogCategory::orch, startLine(lanes, upperBound, startNonce, restored));
    countLanes(lanes);

    bool result = false;
    std::exception_ptr failure;
    try {
        result = co_await runWorkerGroup(std::move(lanes), solved, stop, runCancel->get_token());
    } catch (...) {
        failure = std::current_exception();
    }
    if (self) {
        coordinator_.setOnTaskSolved(savedOnTaskSolved);
        coordinator_.setOnTaskAbandoned(savedOnTaskAbandoned);
        computeEngine_->setOnLog({});
    }
    solved->end();
    if (failure) {
        std::rethrow_exception(failure);
    }
    co_return result;
}

void TaskScheduler::countLanes(const std::vector<ComputeWorkerLane>& lanes) {
    if (!deps_.counters) {
        return;
    }
    int gpu = 0;
    for (const auto& lane : lanes) {
        gpu += lane.kind == engine::ComputeWorkerLaneKind::gpu ? 1 : 0;
    }
    deps_.counters->gpuLanes.store(gpu, std::memory_order_relaxed);
    deps_.counters->cpuLanes.store(static_cast<int>(lanes.size()) - gpu, std::memory_order_relaxed);
    if (lanes.empty()) {
        // No run, no rate: the last interval's figure would stay up after the run.
        deps_.counters->nonceRate.store(0.0, std::memory_order_relaxed);
    }
}

WorkerLaneContext::CandidateHook TaskScheduler::candidateHook(const QString& category,
                                                              const QString& prefix, int segment) {
    // Runs on the main thread, possibly after the lane has ended (a cancelled search stops
    // waiting for it), so it holds the scheduler weakly and nothing of the lane.
    return [self = QPointer<TaskScheduler>(this), taskId = task_.id, category, prefix,
            segment](std::uint64_t nonce) {
        if (self && self->task_.id == taskId) {
            self->reportCandidate(category, prefix, nonce, segment);
        }
    };
}

void TaskScheduler::reportCandidate(const QString& category, const QString& prefix,
                                    std::uint64_t nonce, int segment) {
    if (isCancelled()) {
        // The run is being abandoned and its validation was reset: the nonce is kept for the
        // run's last save instead of being validated (and refused) now.
        keepCandidates({nonce});
    } else {
        coordinator_.enqueueCandidates({nonce}, task_.id, task_.seed);
    }
    log(category,
        prefix + QStringLiteral("candidate nonce=%1 segment=%2 queued validationPending=%3")
                     .arg(nonce)
                     .arg(segment)
                     .arg(coordinator_.pendingCount()));
}

void TaskScheduler::segmentSearched(const engine::ComputeSearchResult& result,
                                    const engine::NonceRange& range) {
    const auto workers = workerRegistry_->count();
    const int pending = coordinator_.pendingCount();
    const auto at = deps_.timing.clock();
    const auto summaryEvery = deps_.timing.scaledDuration(1000ms);
    struct Summary {
        double intervalRate;
        double averageRate;
        std::uint64_t segments;
        std::uint64_t candidates;
    };
    const auto summary = throughputMonitor_.update(
        [&](engine::TaskThroughputAccumulator& a) -> std::optional<Summary> {
            a.totalNonceCount += range.end - range.start;
            a.totalSegments += 1;
            a.totalCandidates += result.nonces.size();
            const auto interval = at - a.lastSummaryAt;
            if (interval < summaryEvery) {
                return std::nullopt;
            }
            const double delta = static_cast<double>(a.totalNonceCount - a.lastSummaryNonceCount);
            const double sinceStart = secondsBetween(a.startedAt, at);
            a.lastSummaryAt = at;
            a.lastSummaryNonceCount = a.totalNonceCount;
            return Summary{delta / std::max(std::chrono::duration<double>(interval).count(), 0.001),
                           static_cast<double>(a.totalNonceCount) / std::max(sinceStart, 0.001),
                           a.totalSegments, a.totalCandidates};
        });
    if (deps_.counters) {
        deps_.counters->noncesSearched.fetch_add(range.end - range.start,
                                                 std::memory_order_relaxed);
        if (summary) {
            deps_.counters->nonceRate.store(summary->intervalRate, std::memory_order_relaxed);
        }
    }
    if (summary) {
        latestRate_ = summary->intervalRate;
        log(LogCategory::orch,
            QStringLiteral("throughput workers=") + QString::number(workers) +
                QStringLiteral(" rate=") + rateLabel(summary->intervalRate) +
                QStringLiteral(" avg=") + rateLabel(summary->averageRate) +
                QStringLiteral(" segments=") + QString::number(summary->segments) +
                QStringLiteral(" candidates=") + QString::number(summary->candidates) +
                QStringLiteral(" validationPending=") + QString::number(pending) +
                QStringLiteral(" backend=") + QString::fromUtf8(engine::searchBackendWord(result)) +
                QStringLiteral(" progress=") + progressLabel(range.end, task_.upperBound) +
                QStringLiteral("%"));
    }
    if (onProgress_) {
        onProgress_(task_.id, task_.seed, task_.difficulty, range.end, task_.upperBound);
    }
}

QCoro::Task<WorkerResult> TaskScheduler::runWorker(int workerId, ComputeWorkerLane lane,
                                                   std::shared_ptr<engine::WorkerRegistry> registry,
                                                   std::stop_token stop,
                                                   std::optional<int> budgetIndex) {
    registry->add(workerId);
    WorkerLaneLoop loop(*this, lane, budgetIndex);
    co_await loop.run(std::move(stop));
    registry->remove(workerId);
    co_return WorkerResult::quit;
}

bool TaskScheduler::workRemains() const {
    const auto snapshot = rangePool_->snapshot();
    return !snapshot.returnedRanges.empty() || snapshot.nextUnallocated < rangePool_->upperBound();
}

bool TaskScheduler::validationPending() const {
    return coordinator_.isVerifying() || !coordinator_.currentBatch().empty() ||
           !coordinator_.pendingQueue().empty();
}

std::vector<std::uint64_t> TaskScheduler::unsettledCandidates() const {
    std::vector<std::uint64_t> nonces = keptCandidates_;
    if (coordinator_.currentTaskId() == task_.id) {
        for (const auto* list : {&coordinator_.currentBatch(), &coordinator_.pendingQueue()}) {
            for (std::uint64_t nonce : *list) {
                if (std::find(nonces.begin(), nonces.end(), nonce) == nonces.end()) {
                    nonces.push_back(nonce);
                }
            }
        }
    }
    return nonces;
}

void TaskScheduler::keepCandidates(const std::vector<std::uint64_t>& nonces) {
    for (std::uint64_t nonce : nonces) {
        if (std::find(keptCandidates_.begin(), keptCandidates_.end(), nonce) ==
            keptCandidates_.end()) {
            keptCandidates_.push_back(nonce);
        }
    }
}

void TaskScheduler::persistProgress() {
    if (!stateStore_ || !rangePool_) {
        return;
    }
    const auto snapshot = rangePool_->snapshot();
    TaskRangeProgress progress;
    progress.taskId = task_.id.toStdString();
    progress.seed = task_.seedUtf8;
    progress.difficulty = task_.difficulty;
    progress.upperBound = task_.upperBound;
    progress.nextUnallocated = snapshot.nextUnallocated;
    progress.completedRanges = snapshot.completedRanges;
    progress.returnedRanges = snapshot.returnedRanges;
    progress.claimedRanges = snapshot.claimedRanges;
    progress.candidateNonces = unsettledCandidates();
    stateStore_->save(std::move(progress));
}

void TaskScheduler::reportStoreError(const QString& line) const {
    log(LogCategory::state, line);
}

void TaskScheduler::deleteProgress() {
    if (stateStore_) {
        stateStore_->remove(task_.seedUtf8);
    }
}

QCoro::Task<bool> TaskScheduler::runWorkerGroup(std::vector<ComputeWorkerLane> lanes,
                                                std::shared_ptr<async::SolvedSignal> solved,
                                                std::stop_token stop, std::stop_token cancelled) {
    async::TaskGroup<WorkerResult> group(stop);
    auto registry = workerRegistry_;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        group.spawn([this, i, lane = lanes[i], registry](std::stop_token token) {
            return runWorker(static_cast<int>(i), lane, registry, std::move(token));
        });
    }
    group.spawn([solved, cancelled](std::stop_token token) {
        return waitForSolved(solved, std::move(token), cancelled);
    });

    int launched = static_cast<int>(lanes.size());
    int running = launched;
    for (;;) {
        const auto next = co_await group.next();
        if (!next) {
            // Every child has ended.
            if (runCancelled(stop)) {
                co_return co_await finishAbandoned(group, solved);
            }
            co_return false;
        }
        if (*next == WorkerResult::solved) {
            co_return co_await finishSolved(
                group, solved,
                QStringLiteral("✅ validation passed; cancelling workers launched=") +
                    QString::number(launched));
        }
        // Only workers count; the solved-signal child is none.
        if (*next == WorkerResult::quit) {
            --running;
        }
        if (running > 0) {
            continue;
        }
        // No worker runs. A cancelled run is abandoned, whatever is left of its range: a stop or
        // a pause is no verdict on the task.
        if (runCancelled(stop)) {
            co_return co_await finishAbandoned(group, solved);
        }
        if (!workRemains()) {
            co_return co_await endOfRangeWait(group, solved, stop);
        }
        if (advice().suggestedChunkSize != 0 && launched <= 15) {
            const int id = launched;
            const ComputeWorkerLane lane{engine::ComputeWorkerLaneKind::gpu, id,
                                         deps_.chunkSizes.gpu};
            // It works alone, so it takes the first graphics-processor lane's budget: with its own
            // index, above what the advice allows, it would pause for ever and the run stall with
            // work left.
            group.spawn([this, id, lane, registry](std::stop_token token) {
                return runWorker(id, lane, registry, std::move(token), 0);
            });
            log(LogCategory::orch,
                QStringLiteral("worker add id=%1 lane=GPU#%1 reason=returned-fragment").arg(id));
            ++launched;
            running = 1;
        }
        // Otherwise the run waits for the solved signal or for its cancellation.
    }
}

QCoro::Task<bool> TaskScheduler::endOfRangeWait(async::TaskGroup<WorkerResult>& group,
                                                const std::shared_ptr<async::SolvedSignal>& solved,
                                                std::stop_token stop) {
    const auto& timing = deps_.timing;
    for (;;) {
        if (coordinator_.passedCount() >= 1) {
            co_return co_await finishSolved(
                group, solved, QStringLiteral("✅ validation passed after final worker exit"));
        }
        if (!validationPending()) {
            co_await async::sleepFor(timing.scaled(50ms), stop);
            // A stop resets validation: an empty queue then says nothing about the task.
            if (runCancelled(stop)) {
                co_return co_await finishAbandoned(group, solved);
            }
            if (coordinator_.passedCount() >= 1) {
                co_return co_await finishSolved(
                    group, solved, QStringLiteral("✅ validation passed after final queue drain"));
            }
            if (!validationPending()) {
                co_return co_await finishFailed(group, solved);
            }
        }
        co_await async::sleepFor(timing.scaled(500ms), stop);
        if (runCancelled(stop)) {
            co_return co_await finishAbandoned(group, solved);
        }
    }
}

QCoro::Task<bool> TaskScheduler::finishSolved(async::TaskGroup<WorkerResult>& group,
                                              const std::shared_ptr<async::SolvedSignal>& solved,
                                              const QString& line) {
    // The flag too: candidates the lanes still report are not submitted for a solved task.
    cancelRun();
    solved->end();
    group.cancelAll();
    deleteProgress();
    log(LogCategory::orch, line);
    co_await group.waitAll();
    // Lanes cut off mid-segment save their returned range on the way out; a finished task must
    // not leave that record behind.
    deleteProgress();
    co_return true;
}

QCoro::Task<bool> TaskScheduler::finishFailed(async::TaskGroup<WorkerResult>& group,
                                              const std::shared_ptr<async::SolvedSignal>& solved) {
    const auto failure = coordinator_.markRangeExhausted(task_.id, task_.seed);
    log(LogCategory::validate, failure.logText());
    solved->end();
    group.cancelAll();
    deleteProgress();
    co_await group.waitAll();
    deleteProgress();
    co_return false;
}

QCoro::Task<bool> TaskScheduler::finishAbandoned(
    async::TaskGroup<WorkerResult>& group, const std::shared_ptr<async::SolvedSignal>& solved) {
    solved->end();
    group.cancelAll();
    co_await group.waitAll();
    // The last word on disk: the pool as the lanes left it and every candidate not yet accepted
    // (the lanes' own last saves may come before a late reset of validation).
    persistProgress();
    co_return false;
}

}  // namespace corvanta::tasks
