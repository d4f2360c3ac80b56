#include "tasks/validation_coordinator.h"

#include <QMetaObject>
#include <QPointer>

#include "async/main_thread.h"

namespace corvanta::tasks {

ValidationCoordinator::ValidationCoordinator(QObject* parent)
    : QObject(parent), pipeline_(std::make_shared<ValidationPipeline>()) {}

ValidationCoordinator::~ValidationCoordinator() {
    if (pipeline_) {
        pipeline_->cancel();
    }
}

void ValidationCoordinator::setValidator(Validator validator) {
    validator_ = std::move(validator);
    pipeline_->setValidator(validator_);
}

void ValidationCoordinator::advanceGeneration(bool abandonPipeline) {
    ++sessionGeneration_;
    if (!abandonPipeline) {
        return;
    }
    auto old = std::exchange(pipeline_, std::make_shared<ValidationPipeline>(validator_));
    // The old batch is cut off at once, not waited for: cancelled now, it starts no further
    // validator call (each would submit a nonce of an abandoned task). Its children only get a
    // stop request here; they resume through the event loop.
    old->cancel();
}

void ValidationCoordinator::reportAbandoned() {
    if (!currentTaskId_ || !onTaskAbandoned_ || (currentBatch_.empty() && pendingQueue_.empty())) {
        return;
    }
    std::vector<std::uint64_t> unsettled = currentBatch_;
    unsettled.insert(unsettled.end(), pendingQueue_.begin(), pendingQueue_.end());
    // A copy: the callback may replace itself.
    auto callback = onTaskAbandoned_;
    callback(*currentTaskId_, unsettled);
}

void ValidationCoordinator::enqueueCandidates(const std::vector<std::uint64_t>& nonces,
                                              const QString& taskId, const QString& seed) {
    if (!currentTaskId_ || *currentTaskId_ != taskId) {
        reportAbandoned();
        advanceGeneration(isVerifying_);
        currentTaskId_ = taskId;
        currentSeed_ = seed;
        submittedNonces_.clear();
        pendingQueue_.clear();
        currentBatch_.clear();
        isVerifying_ = false;
        setRejectedCount(0);
        setPassedCount(0);
        setFailedCount(0);
        setPendingCount(0);
    }
    std::vector<std::uint64_t> kept;
    for (std::uint64_t nonce : nonces) {
        if (submittedNonces_.insert(nonce).second) {
            kept.push_back(nonce);
        }
    }
    if (kept.empty()) {
        return;
    }
    pendingQueue_.insert(pendingQueue_.end(), kept.begin(), kept.end());
    setPendingCount(static_cast<int>(pendingQueue_.size() + currentBatch_.size()));
    startNextBatch();
}

void ValidationCoordinator::startNextBatch() {
    if (isVerifying_ || pendingQueue_.empty() || !currentTaskId_) {
        return;
    }
    isVerifying_ = true;
    currentBatch_ = std::exchange(pendingQueue_, {});
    setPendingCount(static_cast<int>(currentBatch_.size()));

    auto run = [](QPointer<ValidationCoordinator> self,
                  std::shared_ptr<ValidationPipeline> pipeline, std::vector<std::uint64_t> batch,
                  QString seed, QString taskId, std::int64_t generation) -> QCoro::Task<void> {
        co_await async::yieldToEventLoop();
        auto accepted = co_await pipeline->verifyBatch(std::move(batch), seed, taskId);
        co_await async::resumeOnMainThread();
        if (self) {
            self->finishBatch(generation, taskId, accepted);
        }
    };
    run(this, pipeline_, currentBatch_, currentSeed_, *currentTaskId_, sessionGeneration_);
}

void ValidationCoordinator::finishBatch(std::int64_t generation, const QString& taskId,
                                        std::optional<std::uint64_t> accepted) {
    if (generation != sessionGeneration_ || !currentTaskId_ || *currentTaskId_ != taskId) {
        return;
    }
    isVerifying_ = false;
    if (accepted) {
        setPassedCount(passedCount_ + 1);
        currentBatch_.clear();
        pendingQueue_.clear();
        setPendingCount(0);
        if (onTaskSolved_) {
            // A copy: the callback may replace itself.
            auto callback = onTaskSolved_;
            callback(taskId);
        }
        return;
    }
    setRejectedCount(rejectedCount_ + static_cast<int>(currentBatch_.size()));
    currentBatch_.clear();
    setPendingCount(static_cast<int>(pendingQueue_.size()));
    startNextBatch();
}

void ValidationCoordinator::resetValidation() {
    reportAbandoned();
    advanceGeneration(isVerifying_);
    currentTaskId_.reset();
    currentSeed_.clear();
    submittedNonces_.clear();
    pendingQueue_.clear();
    currentBatch_.clear();
    isVerifying_ = false;
    setPendingCount(0);
    setRejectedCount(0);
    setPassedCount(0);
    setFailedCount(0);
}

ValidationTaskFailure ValidationCoordinator::markRangeExhausted(const QString& taskId,
                                                                const QString& seed) {
    reportAbandoned();
    advanceGeneration(isVerifying_);
    currentTaskId_ = taskId;
    currentSeed_ = seed;
    submittedNonces_.clear();
    pendingQueue_.clear();
    currentBatch_.clear();
    setPendingCount(0);
    isVerifying_ = false;
    setFailedCount(failedCount_ + 1);
    ValidationTaskFailure failure{taskId, ValidationTaskFailureReason::rangeExhaustedNoValidNonce};
    if (onTaskFailed_) {
        onTaskFailed_(failure);
    }
    return failure;
}

void ValidationCoordinator::setPendingCount(int value) {
    if (pendingCount_ != value) {
        pendingCount_ = value;
        emit pendingCountChanged();
    }
}

void ValidationCoordinator::setRejectedCount(int value) {
    if (rejectedCount_ != value) {
        rejectedCount_ = value;
        emit rejectedCountChanged();
    }
}

void ValidationCoordinator::setPassedCount(int value) {
    if (passedCount_ != value) {
        passedCount_ = value;
        emit passedCountChanged();
    }
}

void ValidationCoordinator::setFailedCount(int value) {
    if (failedCount_ != value) {
        failedCount_ = value;
        emit failedCountChanged();
    }
}

}  // namespace corvanta::tasks
