#include "engine/range_pool.h"

#include <algorithm>

namespace corvanta::engine {

RangePool::RangePool(std::uint64_t lowerBound, std::uint64_t upperBound)
    : lowerBound_(lowerBound), upperBound_(upperBound), nextUnallocated_(lowerBound) {}

RangePool::RangePool(std::uint64_t lowerBound, std::uint64_t upperBound,
                     std::uint64_t nextUnallocated, const std::vector<NonceRange>& completedRanges,
                     const std::vector<NonceRange>& returnedRanges,
                     const std::vector<NonceRange>& claimedRanges)
    : lowerBound_(lowerBound),
      upperBound_(upperBound),
      nextUnallocated_(std::min(std::max(lowerBound, nextUnallocated), upperBound)) {
    completedRanges_ = normalizeRanges(completedRanges);
    std::vector<NonceRange> unfinished = returnedRanges;
    unfinished.insert(unfinished.end(), claimedRanges.begin(), claimedRanges.end());
    fragments_ = normalizeRanges(std::move(unfinished));
}

std::optional<NonceRange> RangePool::claim(std::uint64_t size) {
    if (size == 0) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    NonceRange range;
    if (!fragments_.empty()) {
        range = fragments_.back();
        fragments_.pop_back();
    } else if (nextUnallocated_ >= upperBound_) {
        return std::nullopt;
    } else {
        // Compare with the room left so the sum never wraps near 2^64 - 1.
        const std::uint64_t room = upperBound_ - nextUnallocated_;
        range = NonceRange{nextUnallocated_, nextUnallocated_ + std::min(room, size)};
        nextUnallocated_ = range.end;
    }
    claimedRanges_.push_back(range);
    return range;
}

void RangePool::returnRange(NonceRange range) {
    if (range.isEmpty()) {
        return;
    }
    std::lock_guard lock(mutex_);
    removeClaimed(range);
    fragments_.push_back(range);
    fragments_ = normalizeRanges(std::move(fragments_));
}

void RangePool::complete(NonceRange range) {
    if (range.isEmpty()) {
        return;
    }
    std::lock_guard lock(mutex_);
    removeClaimed(range);
    completedRanges_.push_back(range);
    completedRanges_ = normalizeRanges(std::move(completedRanges_));
}

std::size_t RangePool::pendingRangeCount() const {
    std::lock_guard lock(mutex_);
    return fragments_.size() + (nextUnallocated_ < upperBound_ ? 1 : 0);
}

bool RangePool::isExhausted() const {
    std::lock_guard lock(mutex_);
    return fragments_.empty() && nextUnallocated_ >= upperBound_;
}

RangePoolSnapshot RangePool::snapshot() const {
    std::lock_guard lock(mutex_);
    return RangePoolSnapshot{nextUnallocated_, completedRanges_, fragments_, claimedRanges_};
}

void RangePool::removeClaimed(const NonceRange& range) {
    std::erase(claimedRanges_, range);
}

}  // namespace corvanta::engine
