#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/nonce_range.h"

namespace corvanta::tasks {

// The stored progress of one task, keyed by its seed. The three range lists are the range pool's
// bookkeeping (see engine::RangePoolSnapshot).
struct TaskRangeProgress {
    std::string taskId;
    std::string seed;
    std::int64_t difficulty = 0;
    std::uint64_t upperBound = 0;
    std::uint64_t nextUnallocated = 0;
    std::vector<engine::NonceRange> completedRanges;
    std::vector<engine::NonceRange> returnedRanges;
    std::vector<engine::NonceRange> claimedRanges;
    std::vector<std::uint64_t> candidateNonces;

    friend bool operator==(const TaskRangeProgress&, const TaskRangeProgress&) = default;
};

}  // namespace corvanta::tasks
