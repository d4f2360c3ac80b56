#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace corvanta::engine::gpu {

// Everything about one dispatch that is the same for many threads, worked out once on the host
// so the kernel only formats a few decimal digits and runs the compressions that change.
//
// The dispatch [first, first + count) is cut into segments. Within a segment every nonce n has the
// same decimal length and the same digits above its last nine, so its message is a fixed prefix
// (seed bytes and those high digits), then at most nine digits of a 32-bit value, then a fixed
// SHA-256 padding. Below 10^9 a segment is one decimal length: its nonces are the varying value
// itself. From 10^9 on a segment is one block of 10^9 nonces: the prefix ends with n / 10^9 in
// decimal and the value is n mod 10^9, written with leading zeros. A prefix of 64 bytes or more
// fills the first block, whose compression (the midstate) is then done here once. The rounds of
// the first compressed block that only read prefix words are run here as well: the kernel picks
// the round loop up at the first word that holds a digit.
//
// The layout below is read by src/engine/kernels/sha256_search.cl; the two must agree.
class DispatchPlan {
public:
    // Words of the header, then of each segment.
    static constexpr std::size_t kCountWord = 0;          // nonces in the dispatch
    static constexpr std::size_t kSegmentCountWord = 1;   // segments in use
    static constexpr std::size_t kSegmentStartWord = 16;  // 16 words: each segment's first thread
    static constexpr std::size_t kHeaderWords = 32;
    static constexpr std::size_t kMaxSegments = 16;
    static constexpr std::size_t kSegmentWords = 64;
    // Offsets inside a segment.
    static constexpr std::size_t kStateWord = 0;        // 8 words: chaining value before firstBlock
    static constexpr std::size_t kFirstThreadWord = 8;  // thread index of the segment's first nonce
    static constexpr std::size_t kFirstValueWord = 9;   // varying value of that nonce
    static constexpr std::size_t kFirstBlockWord = 10;  // first block to compress (0 or 1)
    static constexpr std::size_t kBlockCountWord = 11;  // blocks of the padded message (1 or 2)
    static constexpr std::size_t kWindowWord = 12;     // message word where the digit window starts
    static constexpr std::size_t kShiftWord = 13;      // left shift (bits) placing the digits
    static constexpr std::size_t kDigitMaskWord = 14;  // 3 words: which packed digit bytes are used
    static constexpr std::size_t kStartRoundWord = 17;  // first round the kernel runs (0 to 15)
    static constexpr std::size_t kRoundStateWord = 18;  // 8 words: a..h before that round
    static constexpr std::size_t kTemplateWord = 32;    // 32 words: padded message, digits as zeros

    // Longest seed whose messages still fit two blocks with a 20-digit nonce.
    static constexpr std::size_t kMaxSeedBytes = 99;

    // Empty when the seed is longer than kMaxSeedBytes or count is 0.
    static std::optional<DispatchPlan> build(std::string_view seed, std::uint64_t first,
                                             std::uint32_t count);

    const std::vector<std::uint32_t>& words() const { return words_; }
    std::size_t segmentCount() const { return words_[kSegmentCountWord]; }

private:
    DispatchPlan() = default;

    std::vector<std::uint32_t> words_;
};

}  // namespace corvanta::engine::gpu
