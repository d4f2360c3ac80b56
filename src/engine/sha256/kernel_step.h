#pragma once

// How a kernel ends one step of suffixes, shared by every kernel. Each kernel source is compiled
// for its own instruction set, so these helpers have internal linkage: every source gets its own
// copy, and the linker can never hand one source's code to another.

#include <cstdint>

#include "engine/sha256/nonce_kernel.h"

namespace corvanta::engine {
namespace {

// The candidate lanes of a step whose lanes' first digest words are known one by one: bit l set
// when lane l's word is below the threshold.
template <int Lanes>
[[gnu::always_inline]] inline std::uint64_t candidateLanes(const std::uint32_t (&firstWords)[Lanes],
                                                           std::uint32_t threshold) {
    std::uint64_t lanes = 0;
    for (int l = 0; l < Lanes; ++l) {
        lanes |= static_cast<std::uint64_t>(firstWords[l] < threshold) << l;
    }
    return lanes;
}

// Where the step of `step` suffixes from `s` leaves the scan of [from, to), given the candidate
// lanes it found. Lanes at or past `to` hashed suffixes beyond the scan and are dropped. A result
// without candidates means: go on with the next step.
[[gnu::always_inline]] inline KernelStop stepEnd(std::uint64_t candidates, std::uint32_t s,
                                                 std::uint32_t step, std::uint32_t to) {
    const std::uint32_t left = to - s;
    if (left < step) {
        candidates &= (std::uint64_t{1} << left) - 1;
    }
    return KernelStop{left < step ? to : s + step, s, candidates, false};
}

}  // namespace
}  // namespace corvanta::engine
