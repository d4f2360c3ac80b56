#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "tasks/validation_pipeline.h"
#include "tasks/validation_task_failure.h"

namespace corvanta::tasks {

// Takes the candidate nonces of the current task, drops repeats, and validates them in batches
// through a ValidationPipeline. The first accepted nonce solves the task. Main thread only.
class ValidationCoordinator : public QObject {
    Q_OBJECT
    Q_PROPERTY(int pendingCount READ pendingCount NOTIFY pendingCountChanged)
    Q_PROPERTY(int rejectedCount READ rejectedCount NOTIFY rejectedCountChanged)
    Q_PROPERTY(int passedCount READ passedCount NOTIFY passedCountChanged)
    Q_PROPERTY(int failedCount READ failedCount NOTIFY failedCountChanged)

public:
    using TaskSolvedCallback = std::function<void(const QString& taskId)>;
    using TaskFailedCallback = std::function<void(const ValidationTaskFailure&)>;
    // The nonces of a task that were queued or under validation when its validation was
    // abandoned (reset, task switch, failure report), in the order they would have gone out.
    using TaskAbandonedCallback =
        std::function<void(const QString& taskId, const std::vector<std::uint64_t>& unsettled)>;

    explicit ValidationCoordinator(QObject* parent = nullptr);
    ~ValidationCoordinator() override;

    void setValidator(Validator validator);
    void enqueueCandidates(const std::vector<std::uint64_t>& nonces, const QString& taskId,
                           const QString& seed);
    void resetValidation();
    ValidationTaskFailure markRangeExhausted(const QString& taskId, const QString& seed);

    bool isVerifying() const { return isVerifying_; }
    const std::vector<std::uint64_t>& currentBatch() const { return currentBatch_; }
    const std::vector<std::uint64_t>& pendingQueue() const { return pendingQueue_; }
    std::optional<QString> currentTaskId() const { return currentTaskId_; }
    std::int64_t sessionGeneration() const { return sessionGeneration_; }
    int pendingCount() const { return pendingCount_; }
    int rejectedCount() const { return rejectedCount_; }
    int passedCount() const { return passedCount_; }
    int failedCount() const { return failedCount_; }

    const TaskSolvedCallback& onTaskSolved() const { return onTaskSolved_; }
    void setOnTaskSolved(TaskSolvedCallback callback) { onTaskSolved_ = std::move(callback); }
    void setOnTaskFailed(TaskFailedCallback callback) { onTaskFailed_ = std::move(callback); }
    const TaskAbandonedCallback& onTaskAbandoned() const { return onTaskAbandoned_; }
    void setOnTaskAbandoned(TaskAbandonedCallback callback) {
        onTaskAbandoned_ = std::move(callback);
    }

signals:
    void pendingCountChanged();
    void rejectedCountChanged();
    void passedCountChanged();
    void failedCountChanged();

private:
    void advanceGeneration(bool abandonPipeline);
    void reportAbandoned();
    void startNextBatch();
    void finishBatch(std::int64_t generation, const QString& taskId,
                     std::optional<std::uint64_t> accepted);
    void setPendingCount(int value);
    void setRejectedCount(int value);
    void setPassedCount(int value);
    void setFailedCount(int value);

    std::shared_ptr<ValidationPipeline> pipeline_;
    Validator validator_;
    std::int64_t sessionGeneration_ = 0;
    std::optional<QString> currentTaskId_;
    QString currentSeed_;
    std::set<std::uint64_t> submittedNonces_;
    std::vector<std::uint64_t> pendingQueue_;
    std::vector<std::uint64_t> currentBatch_;
    bool isVerifying_ = false;
    int pendingCount_ = 0;
    int rejectedCount_ = 0;
    int passedCount_ = 0;
    int failedCount_ = 0;
    TaskSolvedCallback onTaskSolved_;
    TaskFailedCallback onTaskFailed_;
    TaskAbandonedCallback onTaskAbandoned_;
};

}  // namespace corvanta::tasks
