// The host half of the kernel's work, checked without a device: for any thread of a dispatch,
// the plan's template with that thread's digits put where the plan says must be exactly the
// padded message of seed + decimal(base + thread).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "engine/gpu/dispatch_plan.h"
#include "engine/sha256/sha256.h"
#include "unit/engine/gpu/gpu_test_support.h"

namespace corvanta::engine::gpu {
namespace {

using testing::seedOfBytes;
using Plan = DispatchPlan;

std::array<std::uint8_t, 128> paddedMessage(const std::string& message) {
    std::array<std::uint8_t, 128> bytes{};
    std::copy(message.begin(), message.end(), bytes.begin());
    bytes[message.size()] = 0x80;
    const std::size_t blocks = (message.size() + 9 + 63) / 64;
    const std::uint64_t bits = message.size() * 8;
    for (int i = 0; i < 8; ++i) {
        bytes[blocks * 64 - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return bytes;
}

// Rebuilds the padded message the kernel hashes for one thread, from the plan alone.
std::array<std::uint8_t, 128> planMessage(const DispatchPlan& plan, std::uint32_t thread) {
    const auto& words = plan.words();
    std::size_t segment = 0;
    for (std::size_t i = 1; i < plan.segmentCount(); ++i) {
        if (thread >= words[Plan::kSegmentStartWord + i]) {
            segment = i;
        }
    }
    const std::uint32_t* s = words.data() + Plan::kHeaderWords + segment * Plan::kSegmentWords;
    std::array<std::uint8_t, 128> bytes{};
    for (std::size_t i = 0; i < 32; ++i) {
        for (int b = 0; b < 4; ++b) {
            bytes[4 * i + b] =
                static_cast<std::uint8_t>(s[Plan::kTemplateWord + i] >> (24 - 8 * b));
        }
    }
    unsigned digits = 0;
    for (int w = 0; w < 3; ++w) {
        digits += static_cast<unsigned>(__builtin_popcount(s[Plan::kDigitMaskWord + w])) / 8;
    }
    std::uint32_t value = s[Plan::kFirstValueWord] + (thread - s[Plan::kFirstThreadWord]);
    const std::size_t lastDigit = 4 * s[Plan::kWindowWord] + 11 - s[Plan::kShiftWord] / 8;
    for (unsigned i = 0; i < digits; ++i) {
        EXPECT_EQ(bytes[lastDigit - i], 0) << "template byte under a digit";
        bytes[lastDigit - i] = static_cast<std::uint8_t>('0' + value % 10);
        value /= 10;
    }
    return bytes;
}

void expectThreadsMatch(const std::string& seed, std::uint64_t first, std::uint32_t count) {
    const auto plan = DispatchPlan::build(seed, first, count);
    ASSERT_TRUE(plan.has_value());
    ASSERT_GE(plan->segmentCount(), 1u);
    ASSERT_LE(plan->segmentCount(), Plan::kMaxSegments);
    // Every segment's edges and a spread of threads in between.
    std::vector<std::uint32_t> threads = {0, count - 1, count / 2, count / 3};
    for (std::size_t i = 0; i < plan->segmentCount(); ++i) {
        const std::uint32_t start = plan->words()[Plan::kSegmentStartWord + i];
        threads.push_back(start);
        if (start > 0) {
            threads.push_back(start - 1);
        }
        if (start + 1 < count) {
            threads.push_back(start + 1);
        }
    }
    for (std::uint32_t thread : threads) {
        const std::uint64_t nonce = first + thread;
        const std::string message = seed + std::to_string(nonce);
        EXPECT_EQ(planMessage(*plan, thread), paddedMessage(message))
            << "seed bytes " << seed.size() << " nonce " << nonce;
    }
    // A constant first block is compressed on the host once.
    for (std::size_t i = 0; i < plan->segmentCount(); ++i) {
        const std::uint32_t* s =
            plan->words().data() + Plan::kHeaderWords + i * Plan::kSegmentWords;
        std::uint32_t state[8];
        std::copy(std::begin(kSha256InitialState), std::end(kSha256InitialState), state);
        if (s[Plan::kFirstBlockWord] == 1) {
            sha256Compress(state, s + Plan::kTemplateWord);
        }
        EXPECT_TRUE(std::equal(state, state + 8, s + Plan::kStateWord));
    }
}

TEST(DispatchPlanTest, EveryThreadGetsItsOwnMessage) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (std::size_t seedBytes : {0, 1, 3, 52, 55, 56, 60, 63, 64, 80, 99}) {
        const std::string seed = seedOfBytes(seedBytes);
        expectThreadsMatch(seed, 0, 1);
        expectThreadsMatch(seed, 0, 123'457);                       // one to six digits
        expectThreadsMatch(seed, 999'999'990, 20);                  // nine to ten digits
        expectThreadsMatch(seed, 41'999'999'999, 3);                // a block of 10^9 ends
        expectThreadsMatch(seed, 9'999'999'999'999'999'990u, 20);   // nineteen to twenty digits
        expectThreadsMatch(seed, kMax - 4096, 4096);                // up to 2^64 - 1
        expectThreadsMatch(seed, 5, 0xffffffffu);                   // the largest dispatch
        expectThreadsMatch(seed, 1'999'999'999, 0xffffffffu);       // as many blocks as it touches
        expectThreadsMatch(seed, kMax - 0xffffffffu, 0xffffffffu);  // ... ending at 2^64 - 1
    }
}

TEST(DispatchPlanTest, RefusesWhatTheKernelCannotHash) {
    EXPECT_FALSE(DispatchPlan::build(seedOfBytes(100), 0, 10).has_value());
    EXPECT_FALSE(DispatchPlan::build("abc", 0, 0).has_value());
    EXPECT_TRUE(DispatchPlan::build(seedOfBytes(99), 0, 10).has_value());
}

}  // namespace
}  // namespace corvanta::engine::gpu
