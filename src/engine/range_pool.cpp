#include "engine/range_pool.h"

#include <algorithm>

namespace corvanta::engine {

namespace {

// The parts of `ranges` inside [low, high), normalized.
std::vector<NonceRange> clipRanges(std::vector<NonceRange> ranges, std::uint64_t low,
                                   std::uint64_t high) {
    for (NonceRange& range : ranges) {
        range.start = std::max(range.start, low);
        range.end = std::min(range.end, high);
    }
    return normalizeRanges(std::move(ranges));
}

// `from` without the nonces of `cut`; both normalized.
std::vector<NonceRange> subtractRanges(const std::vector<NonceRange>& from,
                                       const std::vector<NonceRange>& cut) {
    std::vector<NonceRange> rest;
    auto next = cut.begin();
    for (NonceRange range : from) {
        while (next != cut.end() && next->end <= range.start) {
            ++next;
        }
        for (auto c = next; c != cut.end() && c->start < range.end; ++c) {
            if (c->start > range.start) {
                rest.push_back({range.start, c->start});
            }
            range.start = std::max(range.start, c->end);
        }
        if (!range.isEmpty()) {
            rest.push_back(range);
        }
    }
    return rest;
}

}  // namespace

RangePool::RangePool(std::uint64_t lowerBound, std::uint64_t upperBound)
    : lowerBound_(lowerBound), upperBound_(upperBound), nextUnallocated_(lowerBound) {}

RangePool::RangePool(std::uint64_t lowerBound, std::uint64_t upperBound,
                     std::uint64_t nextUnallocated, const std::vector<NonceRange>& completedRanges,
                     const std::vector<NonceRange>& returnedRanges,
                     const std::vector<NonceRange>& claimedRanges)
    : lowerBound_(lowerBound),
      upperBound_(upperBound),
      nextUnallocated_(std::min(std::max(lowerBound, nextUnallocated), upperBound)),
      piecewiseFragments_(true) {
    completedRanges_ = clipRanges(completedRanges, lowerBound, upperBound);
    // Completed ranges above the saved next nonce (a damaged row) move it up, so fresh claims
    // never reach them; the gaps below them are searched as fragments.
    const std::uint64_t top = completedRanges_.empty()
                                  ? nextUnallocated_
                                  : std::max(nextUnallocated_, completedRanges_.back().end);
    std::vector<NonceRange> unfinished = returnedRanges;
    unfinished.insert(unfinished.end(), claimedRanges.begin(), claimedRanges.end());
    unfinished.push_back({nextUnallocated_, top});
    // Unfinished ranges at or above the next nonce are fresh nonces already.
    fragments_ =
        subtractRanges(clipRanges(std::move(unfinished), lowerBound, top), completedRanges_);
    nextUnallocated_ = top;
}

std::optional<NonceRange> RangePool::claim(std::uint64_t size) {
    if (size == 0) {
        return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    NonceRange range;
    if (!fragments_.empty()) {
        NonceRange& highest = fragments_.back();
        if (piecewiseFragments_ && highest.size() > size) {
            range = NonceRange{highest.start, highest.start + size};
            highest.start = range.end;
        } else {
            range = highest;
            fragments_.pop_back();
        }
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
