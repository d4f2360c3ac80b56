#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "engine/nonce_range.h"

namespace corvanta::engine {

// Everything of a pool that is persisted, read in one step.
struct RangePoolSnapshot {
    std::uint64_t nextUnallocated = 0;
    std::vector<NonceRange> completedRanges;
    std::vector<NonceRange> returnedRanges;  // the pool's fragments
    std::vector<NonceRange> claimedRanges;
};

// Hands out the nonce space [lowerBound, upperBound) of one task run to the worker lanes and keeps
// the bookkeeping of what was claimed, returned and completed. Thread-safe: every operation runs
// to its end under one mutex.
class RangePool {
public:
    // A fresh pool: nothing handed out yet.
    RangePool(std::uint64_t lowerBound, std::uint64_t upperBound);
    // A pool restored from saved progress. Ranges that were claimed when the progress was saved
    // were never finished, so they become fragments and are searched again. A saved row may be
    // damaged or come from an older client, so everything is clipped to [lowerBound, upperBound),
    // nothing completed is handed out again, and fragments go out in pieces of at most the size a
    // lane asks for: a lane that is interrupted again loses one piece, not a whole merged
    // fragment.
    RangePool(std::uint64_t lowerBound, std::uint64_t upperBound, std::uint64_t nextUnallocated,
              const std::vector<NonceRange>& completedRanges,
              const std::vector<NonceRange>& returnedRanges,
              const std::vector<NonceRange>& claimedRanges);

    RangePool(const RangePool&) = delete;
    RangePool& operator=(const RangePool&) = delete;

    // Returned ranges first (the highest one; whole in a fresh pool, at most `size` of it in a
    // restored one), then fresh nonces in pieces of `size`. A size of 0 returns nothing and
    // changes nothing.
    std::optional<NonceRange> claim(std::uint64_t size);
    // Gives a range back unsearched; it is handed out again before any fresh nonce.
    void returnRange(NonceRange range);
    // Records a range as searched to its end.
    void complete(NonceRange range);

    std::size_t pendingRangeCount() const;
    bool isExhausted() const;
    RangePoolSnapshot snapshot() const;

    std::uint64_t lowerBound() const { return lowerBound_; }
    std::uint64_t upperBound() const { return upperBound_; }

private:
    void removeClaimed(const NonceRange& range);

    const std::uint64_t lowerBound_;
    const std::uint64_t upperBound_;
    mutable std::mutex mutex_;
    std::vector<NonceRange> fragments_;
    std::vector<NonceRange> claimedRanges_;
    std::vector<NonceRange> completedRanges_;
    std::uint64_t nextUnallocated_;
    // Restored pools cut fragments down to the claimed size.
    bool piecewiseFragments_ = false;
};

}  // namespace corvanta::engine
