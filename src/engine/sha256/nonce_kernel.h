#pragma once

#include <atomic>
#include <cstdint>

#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {

// The search hashes nonces in blocks of up to 1000 that differ only in their last three decimal
// digits (the suffix); the digits before them form the prefix. Everything the messages of one
// prefix share is computed once, in plain code; a kernel then hashes many suffixes at once.
//
// This header holds plain data and declarations only. The kernels are compiled for different
// instruction sets, so no inline function that either side could emit may live here.

inline constexpr std::uint32_t kMaxSuffixes = 1000;
// The most suffixes one kernel step hashes (AVX-512: two sets of 16 lanes).
inline constexpr std::uint32_t kMaxKernelStep = 32;

// What a kernel needs to hash the messages of one prefix. The message block that holds the suffix
// is given with the suffix bytes zero; suffix s adds suffixLow[s] to its word `suffixWord` and
// suffixHigh[s] to the word after it. Kept at one fixed, cache-line aligned place per searcher.
struct alignas(64) NonceBlock {
    // Padded by a step so that a kernel may load a whole step beyond the last suffix.
    std::uint32_t suffixLow[kMaxSuffixes + kMaxKernelStep];
    std::uint32_t suffixHigh[kMaxSuffixes + kMaxKernelStep];
    // K[i] + W[i] of the constant padding block that follows when the suffix block is not the
    // message's last block.
    std::uint32_t trailerKw[64];
    std::uint32_t words[16];
    std::uint32_t chainState[8];  // hash state entering the suffix block
    std::uint32_t preState[8];    // chainState after the first `preRounds` rounds of the block
    std::uint32_t threshold;      // candidate: the digest's first word is below it
    int suffixWord;               // first message word the suffix touches, 0 to 15
    int preRounds;  // suffixWord rounded down to the kernel's round granule: rounds done ahead
    bool hasTrailer;
};

// Where a kernel's scan stopped. No member initialisers: an implicit constructor would be an
// inline function emitted under each kernel's instruction set.
struct KernelStop {
    std::uint32_t next;           // first suffix not yet hashed
    std::uint32_t candidateBase;  // first suffix of the step that found candidates
    std::uint64_t candidates;     // bit l set: suffix candidateBase + l may be a hit
    bool cancelled;
};

// Hashes suffixes [from, to) of the block (to <= kMaxSuffixes) one step at a time and returns
// after the first step with candidates, when `cancelled` reads true, or at `to`. The flag is read
// through searchCancelled before the first step and again at least every 32 suffixes.
using NonceKernel = KernelStop (*)(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                                   const std::atomic<bool>& cancelled);

struct NonceKernelInfo {
    NonceKernel scan = nullptr;  // null when this build has no such kernel
    int roundGranule = 1;        // the kernel skips rounds in multiples of this
};

NonceKernelInfo nonceKernelInfo(Sha256Impl impl);

// Out of line on purpose: the kernels read the flag without instantiating std::atomic's inline
// members under their own instruction set.
bool searchCancelled(const std::atomic<bool>& cancelled);

KernelStop scanNoncesScalar(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                            const std::atomic<bool>& cancelled);
#if defined(__x86_64__)
KernelStop scanNoncesShaNi(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                           const std::atomic<bool>& cancelled);
KernelStop scanNoncesAvx2(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                          const std::atomic<bool>& cancelled);
KernelStop scanNoncesAvx512(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                            const std::atomic<bool>& cancelled);
#endif
#if defined(__aarch64__)
KernelStop scanNoncesArmv8(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                           const std::atomic<bool>& cancelled);
#endif

}  // namespace corvanta::engine
