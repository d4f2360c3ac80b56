#pragma once

#include <QCoroTask>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

namespace corvanta::tasks {

// Decides whether a candidate nonce of a task is valid (the orchestrator submits it to the
// backend). Must be safe to call while other calls are in flight. A failure counts as false.
// `stop` is requested when the answer is no longer wanted (a sibling was accepted, the task was
// left or validation was reset): a call that has not sent its nonce yet must not send it.
using Validator = std::function<QCoro::Task<bool>(std::uint64_t nonce, QString seed, QString taskId,
                                                  std::stop_token stop)>;

// Validates one batch of candidates with at most `maxConcurrent` validator calls in flight and
// stops at the first accepted nonce. Lives on the main thread.
class ValidationPipeline : public std::enable_shared_from_this<ValidationPipeline> {
public:
    explicit ValidationPipeline(Validator validator = {}) : validator_(std::move(validator)) {}

    void setValidator(Validator validator) { validator_ = std::move(validator); }
    const Validator& validator() const { return validator_; }

    // The first nonce the validator accepted, or nothing. Waits for every call it started.
    QCoro::Task<std::optional<std::uint64_t>> verifyBatch(std::vector<std::uint64_t> batch,
                                                          QString seed, QString taskId);
    // Every running and later call of this pipeline then yields no result.
    void cancel();
    bool isCancelled() const { return isCancelled_; }

    static constexpr int maxConcurrent = 3;

private:
    QCoro::Task<std::optional<std::uint64_t>> validateOne(std::uint64_t nonce, QString seed,
                                                          QString taskId, std::stop_token stop);

    bool isCancelled_ = false;
    std::shared_ptr<std::stop_source> runningTask_;
    Validator validator_;
};

}  // namespace corvanta::tasks
