#pragma once

#include <atomic>
#include <memory>

namespace corvanta::engine {

// Links a running search with whoever may stop it. Cancelling is one-way. The flag is an atomic
// so the search loop can test it between groups of nonces for the cost of one load.
class ComputeCancellationToken {
public:
    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    const std::atomic<bool>& flag() const { return cancelled_; }

private:
    std::atomic<bool> cancelled_{false};
};

using ComputeCancellationTokenPtr = std::shared_ptr<ComputeCancellationToken>;

}  // namespace corvanta::engine
