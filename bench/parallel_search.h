#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/compute_engine.h"

namespace corvanta::bench {

// Searches `share` nonces from each of `threads` consecutive starting points at once, one CPU
// search per thread, and waits for all of them: the bare engine on every core.
inline void searchOnEveryCore(engine::ComputeEngine& engine, const std::string& seed,
                              int difficulty, std::uint64_t first, std::uint64_t share,
                              unsigned threads) {
    std::vector<std::shared_ptr<engine::ComputeSearch>> searches;
    for (unsigned t = 0; t < threads; ++t) {
        const std::uint64_t start = first + t * share;
        searches.push_back(engine.startSearch(
            engine::SearchRequest{start, start + share, seed, difficulty,
                                  engine::ComputeWorkerLaneKind::cpu, std::nullopt}));
    }
    for (auto& search : searches) {
        search->wait();
    }
}

}  // namespace corvanta::bench
