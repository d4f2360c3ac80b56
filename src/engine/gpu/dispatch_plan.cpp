#include "engine/gpu/dispatch_plan.h"

#include <algorithm>
#include <string>

#include "engine/sha256/sha256.h"

namespace corvanta::engine::gpu {

namespace {

constexpr std::uint64_t kLowModulus = 1'000'000'000;  // the varying value keeps nine digits
constexpr unsigned kLowDigits = 9;

unsigned decimalLength(std::uint64_t value) {
    unsigned length = 1;
    while (value >= 10) {
        value /= 10;
        ++length;
    }
    return length;
}

std::uint64_t powerOfTen(unsigned exponent) {
    std::uint64_t value = 1;
    for (unsigned i = 0; i < exponent; ++i) {
        value *= 10;
    }
    return value;
}

}  // namespace

std::optional<DispatchPlan> DispatchPlan::build(std::string_view seed, std::uint64_t first,
                                                std::uint32_t count) {
    if (seed.size() > kMaxSeedBytes || count == 0) {
        return std::nullopt;
    }
    DispatchPlan plan;
    plan.words_.assign(kHeaderWords + kMaxSegments * kSegmentWords, 0);
    std::uint32_t* header = plan.words_.data();
    header[kCountWord] = count;

    const std::uint64_t last = first + (count - 1);  // no overflow: callers pass end <= 2^64 - 1
    std::uint64_t cursor = first;
    std::size_t segments = 0;
    std::string prefix;
    for (;;) {
        // Nonces [cursor, segmentLast] share their decimal length and their high digits.
        std::uint64_t segmentLast = last;
        std::uint64_t value = cursor;
        unsigned digits = 0;
        prefix.assign(seed);
        if (cursor < kLowModulus) {
            digits = decimalLength(cursor);
            segmentLast = std::min(last, powerOfTen(digits) - 1);
        } else {
            const std::uint64_t high = cursor / kLowModulus;
            value = cursor % kLowModulus;
            digits = kLowDigits;
            prefix += std::to_string(high);
            const std::uint64_t room = kLowModulus - 1 - value;  // nonces left in this block
            if (last - cursor > room) {
                segmentLast = cursor + room;
            }
        }

        if (segments == kMaxSegments) {
            return std::nullopt;  // cannot happen below 2^32 nonces: at most 14 segments
        }
        std::uint32_t* segment = header + kHeaderWords + segments * kSegmentWords;
        const std::size_t prefixBytes = prefix.size();
        const std::size_t messageBytes = prefixBytes + digits;

        // The template: the message with its digits zero, padded; digits are ORed in later.
        std::uint8_t block[128] = {};
        std::copy(prefix.begin(), prefix.end(), block);
        const int blocks = sha256PadTail(block, messageBytes, messageBytes);
        std::uint32_t* words = segment + kTemplateWord;
        sha256LoadWords(block, words, 32);

        std::uint32_t state[8];
        std::copy(std::begin(kSha256InitialState), std::end(kSha256InitialState), state);
        const bool firstBlockConstant = prefixBytes >= 64;
        if (firstBlockConstant) {
            sha256Compress(state, words);
        }
        std::copy(std::begin(state), std::end(state), segment + kStateWord);
        // Words before the one holding the first digit are prefix bytes only.
        const std::size_t startRound = prefixBytes / 4 % 16;
        sha256Rounds(state, words + (firstBlockConstant ? 16 : 0), static_cast<int>(startRound));
        segment[kStartRoundWord] = static_cast<std::uint32_t>(startRound);
        std::copy(std::begin(state), std::end(state), segment + kRoundStateWord);

        // The kernel packs the digits little end first, digit i (from the right) in byte i of a
        // 96-bit value, then shifts that value so the last digit lands on the message byte just
        // before the padding. The window is the three message words from prefixBytes / 4 on.
        const std::size_t lastDigitInWindow = prefixBytes % 4 + digits - 1;
        segment[kFirstThreadWord] = static_cast<std::uint32_t>(cursor - first);
        segment[kFirstValueWord] = static_cast<std::uint32_t>(value);
        segment[kFirstBlockWord] = firstBlockConstant ? 1 : 0;
        segment[kBlockCountWord] = static_cast<std::uint32_t>(blocks);
        segment[kWindowWord] = static_cast<std::uint32_t>(prefixBytes / 4);
        segment[kShiftWord] = static_cast<std::uint32_t>(8 * (11 - lastDigitInWindow));
        for (unsigned i = 0; i < digits; ++i) {
            segment[kDigitMaskWord + i / 4] |= 0xffu << (8 * (i % 4));
        }
        header[kSegmentStartWord + segments] = segment[kFirstThreadWord];
        ++segments;

        if (segmentLast == last) {
            break;
        }
        cursor = segmentLast + 1;
    }
    header[kSegmentCountWord] = static_cast<std::uint32_t>(segments);
    plan.words_.resize(kHeaderWords + segments * kSegmentWords);
    return plan;
}

}  // namespace corvanta::engine::gpu
