// The host half of the kernel's work, checked without a device: for any thread of a dispatch,
// the plan's template with that thread's digits put where the plan says must be exactly the
// padded message of seed + decimal(base + thread), and finishing the hash from the plan's
// precomputed state the way the kernel does must give that message's digest.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "engine/gpu/dispatch_plan.h"
#include "engine/sha256/sha256.h"
#include "engine/sha256/sha256_constants.h"
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

std::uint32_t rotr(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// The digest the kernel computes for one thread, following the plan the way the kernel does:
// from the host's round state at the start round, then any further block from round 0.
Sha256Digest planDigest(const DispatchPlan& plan, std::uint32_t thread) {
    const auto message = planMessage(plan, thread);
    std::size_t segment = 0;
    for (std::size_t i = 1; i < plan.segmentCount(); ++i) {
        if (thread >= plan.words()[Plan::kSegmentStartWord + i]) {
            segment = i;
        }
    }
    const std::uint32_t* s =
        plan.words().data() + Plan::kHeaderWords + segment * Plan::kSegmentWords;
    std::uint32_t state[8];
    std::uint32_t work[8];
    std::copy(s + Plan::kStateWord, s + Plan::kStateWord + 8, state);
    std::copy(s + Plan::kRoundStateWord, s + Plan::kRoundStateWord + 8, work);
    std::uint32_t startRound = s[Plan::kStartRoundWord];
    for (std::uint32_t block = s[Plan::kFirstBlockWord]; block < s[Plan::kBlockCountWord];
         ++block) {
        std::uint32_t w[64];
        for (int i = 0; i < 16; ++i) {
            const std::uint8_t* p = message.data() + block * 64 + 4 * i;
            w[i] = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                   std::uint32_t{p[2]} << 8 | p[3];
        }
        for (int i = 16; i < 64; ++i) {
            w[i] = w[i - 16] + (rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3)) +
                   w[i - 7] + (rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10));
        }
        for (std::uint32_t i = startRound; i < 64; ++i) {
            auto [a, b, c, d, e, f, g, h] =
                std::array{work[0], work[1], work[2], work[3], work[4], work[5], work[6], work[7]};
            const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) +
                                     ((e & f) ^ (~e & g)) + kSha256K[i] + w[i];
            const std::uint32_t t2 =
                (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            work[0] = t1 + t2;
            work[1] = a;
            work[2] = b;
            work[3] = c;
            work[4] = d + t1;
            work[5] = e;
            work[6] = f;
            work[7] = g;
        }
        for (int i = 0; i < 8; ++i) {
            state[i] += work[i];
            work[i] = state[i];
        }
        startRound = 0;
    }
    Sha256Digest digest{};
    for (int i = 0; i < 32; ++i) {
        digest[i] = static_cast<std::uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
    }
    return digest;
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
        EXPECT_EQ(planDigest(*plan, thread), sha256(message))
            << "seed bytes " << seed.size() << " nonce " << nonce;
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
