#include "tasks/task_scheduler.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include "async/cancellable_sleep.h"
#include "tasks/lane_plan.h"
#include "tasks/solved_signal.h"
#include "tasks/validation_coordinator.h"
#include "tasks/worker_lane_loop.h"

namespace corvanta::tasks {

namespace {

using namespace std::chrono_literals;

QCoro::Task<WorkerResult> waitForSolved(std::shared_ptr<SolvedSignal> solved,
                                        std::stop_token stop) {
    const bool event = co_await solved->next(std::move(stop));
    co_return event ? WorkerResult::solved : WorkerResult::quit;
}

}  // namespace

TaskScheduler::TaskScheduler(TaskSchedulerDependencies dependencies, QObject* parent)
    : QObject(parent),
      deps_(std::move(dependencies)),
      computeEngine_(std::make_unique<engine::ComputeEngine>(deps_.engineOptions)),
      coordinator_(*deps_.coordinator),
      stateStore_(std::move(deps_.stateStore)),
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
    {
        std::lock_guard lock(lock_);
        isCancelled_ = true;
    }
    computeEngine_->cancelAllSearches();
}

bool TaskScheduler::isCancelled() const {
    std::lock_guard lock(lock_);
    return isCancelled_;
}

guard::PressureAdvice TaskScheduler::advice() const {
    return deps_.currentAdvice ? deps_.currentAdvice() : guard::PressureAdvice{};
}

void TaskScheduler::log(const QString& category, const QString& message) const {
    if (onLog_) {
        onLog_(category, message);
    }
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
        record = stateStore_->load(currentSeedUtf8_);
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
        stateStore_->remove(currentSeedUtf8_);
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
    {
        std::lock_guard lock(lock_);
        isCancelled_ = false;
    }
    currentTaskId_ = taskId;
    currentSeed_ = seed;
    currentSeedUtf8_ = seed.toStdString();
    currentDifficulty_ = difficulty;
    currentUpperBound_ = upperBound;

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
    coordinator_.resetValidation();

    auto solved = std::make_shared<SolvedSignal>();
    const auto savedOnTaskSolved = coordinator_.onTaskSolved();
    coordinator_.setOnTaskSolved([solved, taskId](const QString& id) {
        if (id == taskId) {
            solved->push();
        }
    });
    if (restored && !choice.restoredRecord->candidateNonces.empty()) {
        coordinator_.enqueueCandidates(choice.restoredRecord->candidateNonces, taskId, seed);
    }

    auto lanes = buildLanes(startNonce, upperBound, advice(), deps_.chunkSizes);
    log(QStringLiteral("ORCH"), startLine(lanes, upperBound, startNonce, restored));

    bool result = false;
    std::exception_ptr failure;
    try {
        result = co_await runWorkerGroup(std::move(lanes), solved, stop);
    } catch (...) {
        failure = std::current_exception();
    }
    if (self) {
        coordinator_.setOnTaskSolved(savedOnTaskSolved);
        computeEngine_->setOnLog({});
    }
    solved->end();
    if (failure) {
        std::rethrow_exception(failure);
    }
    co_return result;
}

QCoro::Task<WorkerResult> TaskScheduler::runWorker(int workerId, ComputeWorkerLane lane,
                                                   std::shared_ptr<engine::WorkerRegistry> registry,
                                                   std::stop_token stop) {
    registry->add(workerId);
    WorkerLaneLoop loop(*this, lane);
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

void TaskScheduler::deleteProgress() {
    if (stateStore_) {
        stateStore_->remove(currentSeedUtf8_);
    }
}

QCoro::Task<bool> TaskScheduler::runWorkerGroup(std::vector<ComputeWorkerLane> lanes,
                                                std::shared_ptr<SolvedSignal> solved,
                                                std::stop_token stop) {
    async::TaskGroup<WorkerResult> group(stop);
    auto registry = workerRegistry_;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        group.spawn([this, i, lane = lanes[i], registry](std::stop_token token) {
            return runWorker(static_cast<int>(i), lane, registry, std::move(token));
        });
    }
    group.spawn(
        [solved](std::stop_token token) { return waitForSolved(solved, std::move(token)); });

    int launched = static_cast<int>(lanes.size());
    int running = launched;
    for (;;) {
        const auto next = co_await group.next();
        if (!next) {
            co_return false;
        }
        if (*next == WorkerResult::solved) {
            co_return co_await finishSolved(
                group, solved,
                QStringLiteral("✅ validation passed; cancelling workers launched=") +
                    QString::number(launched));
        }
        if (running > 1) {
            --running;
            continue;
        }
        if (running == 0) {
            continue;
        }
        // The last worker is out.
        if (workRemains()) {
            if (!isCancelled() && !stop.stop_requested() && advice().suggestedChunkSize != 0 &&
                launched <= 15) {
                const int id = launched;
                const ComputeWorkerLane lane{engine::ComputeWorkerLaneKind::gpu, id,
                                             deps_.chunkSizes.gpu};
                group.spawn([this, id, lane, registry](std::stop_token token) {
                    return runWorker(id, lane, registry, std::move(token));
                });
                log(QStringLiteral("ORCH"), QStringLiteral("worker add id=%1 lane=GPU#%1 "
                                                           "reason=returned-fragment")
                                                .arg(id));
                ++launched;
                running = 1;
                continue;
            }
            if (isCancelled() || stop.stop_requested()) {
                // A cancelled run with work left ends here, its progress kept. Waiting for the
                // group would wait for ever after a pause, which stops the lanes without
                // cancelling the task that awaits the run.
                solved->end();
                group.cancelAll();
                co_await group.waitAll();
                co_return false;
            }
            running = 0;
            continue;
        }
        if (isCancelled() || stop.stop_requested()) {
            co_return co_await finishFailed(group, solved, validationPending());
        }
        co_return co_await endOfRangeWait(group, solved, stop);
    }
}

QCoro::Task<bool> TaskScheduler::endOfRangeWait(async::TaskGroup<WorkerResult>& group,
                                                const std::shared_ptr<SolvedSignal>& solved,
                                                std::stop_token stop) {
    const auto& timing = deps_.timing;
    for (;;) {
        if (coordinator_.passedCount() >= 1) {
            co_return co_await finishSolved(
                group, solved, QStringLiteral("✅ validation passed after final worker exit"));
        }
        if (!validationPending()) {
            co_await async::sleepFor(timing.scaled(50ms), stop);
            if (coordinator_.passedCount() >= 1) {
                co_return co_await finishSolved(
                    group, solved, QStringLiteral("✅ validation passed after final queue drain"));
            }
            if (!validationPending()) {
                co_return co_await finishFailed(group, solved);
            }
        }
        co_await async::sleepFor(timing.scaled(500ms), stop);
        if (isCancelled() || stop.stop_requested()) {
            co_return co_await finishFailed(group, solved, validationPending());
        }
    }
}

QCoro::Task<bool> TaskScheduler::finishSolved(async::TaskGroup<WorkerResult>& group,
                                              const std::shared_ptr<SolvedSignal>& solved,
                                              const QString& line) {
    solved->end();
    group.cancelAll();
    deleteProgress();
    log(QStringLiteral("ORCH"), line);
    co_await group.waitAll();
    // Lanes cut off mid-segment save their returned range on the way out; a finished task must
    // not leave that record behind.
    deleteProgress();
    co_return true;
}

QCoro::Task<bool> TaskScheduler::finishFailed(async::TaskGroup<WorkerResult>& group,
                                              const std::shared_ptr<SolvedSignal>& solved,
                                              bool keepProgress) {
    const auto failure = coordinator_.markRangeExhausted(currentTaskId_, currentSeed_);
    log(QStringLiteral("VALIDATE"), failure.logText());
    solved->end();
    group.cancelAll();
    if (keepProgress) {
        // Stopped while found nonces still waited for the backend: the stored record holds them,
        // and the next run of this task submits them again instead of searching the whole range
        // anew.
        co_await group.waitAll();
        co_return false;
    }
    deleteProgress();
    co_await group.waitAll();
    deleteProgress();
    co_return false;
}

}  // namespace corvanta::tasks
