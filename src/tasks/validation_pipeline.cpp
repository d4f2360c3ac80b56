#include "tasks/validation_pipeline.h"

#include "async/task_group.h"

namespace corvanta::tasks {

QCoro::Task<std::optional<std::uint64_t>> ValidationPipeline::validateOne(std::uint64_t nonce,
                                                                          QString seed,
                                                                          QString taskId,
                                                                          std::stop_token stop) {
    auto self = shared_from_this();
    if (isCancelled_) {
        co_return std::nullopt;
    }
    // A copy: the pipeline's validator may be replaced while this call is in flight.
    Validator validator = validator_;
    bool accepted = false;
    try {
        accepted = co_await validator(nonce, seed, taskId, stop);
    } catch (...) {
        accepted = false;
    }
    if (self->isCancelled_ || stop.stop_requested() || !accepted) {
        co_return std::nullopt;
    }
    co_return nonce;
}

QCoro::Task<std::optional<std::uint64_t>> ValidationPipeline::verifyBatch(
    std::vector<std::uint64_t> batch, QString seed, QString taskId) {
    auto self = shared_from_this();
    if (!validator_) {
        co_return std::nullopt;
    }
    // A cancel that came before the batch got going stands. Clearing it here would revive a
    // batch its coordinator abandoned (or outlived) while the batch waited for its first turn
    // of the event loop, and submit nonces of a task the client has left.
    if (isCancelled_) {
        co_return std::nullopt;
    }
    auto running = std::make_shared<std::stop_source>();
    runningTask_ = running;

    async::TaskGroup<std::optional<std::uint64_t>> group(running->get_token());
    std::size_t next = 0;
    auto startNext = [&] {
        const std::uint64_t nonce = batch[next++];
        group.spawn([self, nonce, seed, taskId](std::stop_token stop) {
            return self->validateOne(nonce, seed, taskId, std::move(stop));
        });
    };
    while (next < batch.size() && next < static_cast<std::size_t>(maxConcurrent)) {
        startNext();
    }

    std::optional<std::uint64_t> result;
    for (;;) {
        // (Not `while (auto x = co_await ...)`: GCC 12 mishandles co_await in a condition.)
        auto finished = co_await group.next();
        if (!finished) {
            break;
        }
        if (isCancelled_ || running->stop_requested()) {
            group.cancelAll();
            break;
        }
        if (*finished) {
            group.cancelAll();
            result = *finished;
            break;
        }
        if (next < batch.size()) {
            startNext();
        }
    }
    co_await group.waitAll();
    if (isCancelled_) {
        result.reset();
    }
    co_return result;
}

void ValidationPipeline::cancel() {
    isCancelled_ = true;
    if (runningTask_) {
        runningTask_->request_stop();
        runningTask_.reset();
    }
}

}  // namespace corvanta::tasks
