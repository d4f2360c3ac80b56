#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvanta::engine {

enum class ComputeSearchStatus { completed, unprocessed, failed };

// What one search of a range gives back.
struct ComputeSearchResult {
    std::vector<std::uint64_t> nonces;  // hits, ascending
    bool usedGPU = false;
    int batches = 0;
    std::string note;
    ComputeSearchStatus status = ComputeSearchStatus::completed;
};

}  // namespace corvanta::engine
