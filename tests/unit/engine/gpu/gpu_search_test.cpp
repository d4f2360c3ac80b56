// The GPU path on the real kernel (PoCL's CPU device here, a GPU where there is one).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <regex>
#include <string>
#include <thread>

#include "engine/compute_engine.h"
#include "engine/gpu/kernel_source.h"
#include "unit/engine/gpu/gpu_test_support.h"

namespace corvanta::engine {
namespace {

using testing::cpuRequest;
using testing::gpuRequest;
using testing::LogRecorder;
using testing::referenceHits;
using testing::seedOfBytes;
using testing::SystemLogCapture;

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// The real kernel with its hit test changed: `condition` decides, in OpenCL C, which threads
// report their nonce (`meets` holds the true answer).
std::string kernelWithHitTest(const std::string& condition) {
    std::string source(gpu::sha256SearchKernelSource());
    const std::string test = "if (!meetsDifficulty(state, *difficulty)) {";
    const auto at = source.find(test);
    EXPECT_NE(at, std::string::npos) << "the kernel's hit test moved";
    if (at != std::string::npos) {
        source.replace(at, test.size(),
                       "const bool meets = meetsDifficulty(state, *difficulty);\n    if (!(" +
                           condition + ")) {");
    }
    return source;
}

ComputeEngine::Options withDispatchSize(std::uint64_t size) {
    ComputeEngine::Options options;
    options.gpuDispatchSize = size;
    return options;
}

ComputeEngine::Options withKernel(std::string source) {
    ComputeEngine::Options options;
    options.gpuKernelSource = std::move(source);
    return options;
}

std::vector<std::string> dispatchLines(const LogRecorder& log, const std::string& label) {
    std::vector<std::string> out;
    for (const std::string& message : log.messages(label)) {
        if (message.rfind(" -> dispatch", 0) == 0) {
            out.push_back(message);
        }
    }
    return out;
}

class GpuSearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { engine_ = std::make_unique<ComputeEngine>(); }
    static void TearDownTestSuite() { engine_.reset(); }

    static std::vector<std::uint64_t> cpuHits(const std::string& seed, std::uint64_t start,
                                              std::uint64_t end, int difficulty) {
        return engine_->searchRange(cpuRequest(seed, start, end, difficulty)).nonces;
    }

    static std::unique_ptr<ComputeEngine> engine_;
};

std::unique_ptr<ComputeEngine> GpuSearchTest::engine_;

TEST_F(GpuSearchTest, KernelFindsExactlyTheCpuHits) {
    ASSERT_TRUE(engine_->gpuDeviceName().has_value());
    ASSERT_TRUE(engine_->runParityProbe());

    std::vector<std::string> seeds;
    for (std::size_t bytes : {0, 1, 55, 56, 63, 64, 99}) {
        seeds.push_back(seedOfBytes(bytes));
    }
    seeds.push_back("Grüße, 世界 🚀 nonce");  // two-, three- and four-byte characters
    struct Range {
        std::uint64_t start;
        std::uint64_t end;
    };
    const Range ranges[] = {
        {0, 1'100},                                          // one to four digits in one grid
        {999'999'400, 1'000'000'600},                        // nine to ten digits
        {123'456'788'999'999'500, 123'456'789'000'000'300},  // a carry deep into the number
        {9'999'999'999'999'999'500u, 10'000'000'000'000'000'300u},  // nineteen to twenty digits
        {kMax - 1'000, kMax},                                       // up to 2^64 - 1
    };
    for (const std::string& seed : seeds) {
        for (const Range& range : ranges) {
            const auto expected = cpuHits(seed, range.start, range.end, 1);
            ASSERT_FALSE(expected.empty());
            const auto gpu = engine_->dispatchBatch(seed, 1, range.start, range.end);
            ASSERT_TRUE(gpu.has_value());
            EXPECT_EQ(*gpu, expected) << "seed bytes " << seed.size() << " from " << range.start;
        }
    }
    // Difficulty counts nibbles: odd ones test half a byte, 0 takes every nonce, 64 none here.
    const std::string seed = seedOfBytes(40);
    for (int difficulty : {0, 2, 3, 64}) {
        EXPECT_EQ(engine_->dispatchBatch(seed, difficulty, 0, 20'000),
                  cpuHits(seed, 0, 20'000, difficulty))
            << "difficulty " << difficulty;
    }
    EXPECT_EQ(cpuHits(seed, 0, 300, 1), referenceHits(seed, 0, 300, 1));
}

TEST_F(GpuSearchTest, DispatchBatchKeepsItsLimits) {
    EXPECT_EQ(engine_->dispatchBatch("abc", 1, 7, 7), std::vector<std::uint64_t>{});
    EXPECT_FALSE(engine_->dispatchBatch("abc", 1, 0, std::uint64_t{1} << 32).has_value());
    EXPECT_FALSE(engine_->dispatchBatch("abc", 65, 0, 10).has_value());
    EXPECT_FALSE(engine_->dispatchBatch("abc", -1, 0, 10).has_value());
    EXPECT_FALSE(engine_->dispatchBatch(seedOfBytes(100), 1, 0, 10).has_value());
    // At most 65536 hits come back from one grid; they are real hits, sorted and distinct.
    const auto capped = engine_->dispatchBatch("abc", 0, 1'000, 71'000);
    ASSERT_TRUE(capped.has_value());
    ASSERT_EQ(capped->size(), 65'536u);
    EXPECT_TRUE(std::is_sorted(capped->begin(), capped->end()));
    EXPECT_EQ(std::adjacent_find(capped->begin(), capped->end()), capped->end());
    EXPECT_GE(capped->front(), 1'000u);
    EXPECT_LT(capped->back(), 71'000u);
}

TEST_F(GpuSearchTest, SeedLengthDecidesWhetherTheGpuMayRun) {
    LogRecorder log;
    engine_->setOnLog(log.callback());
    const std::string longest = seedOfBytes(99);
    const auto accepted = engine_->searchRange(gpuRequest(longest, 0, 500, 1));
    EXPECT_EQ(accepted.status, ComputeSearchStatus::completed);
    EXPECT_EQ(accepted.note, SearchNote::gpuOnly);
    EXPECT_TRUE(accepted.usedGpu);
    EXPECT_EQ(accepted.nonces, cpuHits(longest, 0, 500, 1));

    const auto refused = engine_->searchRange(gpuRequest(seedOfBytes(100), 0, 500, 1));
    EXPECT_EQ(refused.status, ComputeSearchStatus::unprocessed);
    EXPECT_EQ(refused.note, SearchNote::gpuSeedTooLong);
    EXPECT_TRUE(refused.usedGpu);
    EXPECT_EQ(refused.batches, 0);
    EXPECT_TRUE(refused.nonces.empty());
    EXPECT_EQ(log.messages("GPU").back(), "fallback reason=seed-too-long");
    EXPECT_EQ(engine_->gpuFallbackReason(seedOfBytes(100)), GpuFallbackReason::seedTooLong);
    EXPECT_EQ(engine_->gpuFallbackReason(longest), std::nullopt);
    engine_->setOnLog({});
}

TEST_F(GpuSearchTest, DifficultyOutsideZeroToSixtyFourFailsTheFirstDispatch) {
    LogRecorder log;
    engine_->setOnLog(log.callback());
    for (int difficulty : {65, -1}) {
        SearchRequest request = gpuRequest("abc", 100, 5'000, difficulty);
        request.tag = DispatchTag{"GPU#0", 7};
        const auto result = engine_->searchRange(request);
        EXPECT_EQ(result.status, ComputeSearchStatus::unprocessed);
        EXPECT_EQ(result.note, SearchNote::gpuDispatchFailed);
        EXPECT_EQ(result.batches, 1);
        EXPECT_TRUE(result.usedGpu);
        EXPECT_TRUE(result.nonces.empty());
    }
    const std::vector<std::string> expected = {
        " -> dispatch claim=7 startNonce=100", "❌ dispatch claim=7 batch=1 failed",
        " -> dispatch claim=7 startNonce=100", "❌ dispatch claim=7 batch=1 failed"};
    EXPECT_EQ(log.messages("GPU#0"), expected);
    engine_->setOnLog({});
}

TEST(GpuDispatchLoopTest, RangeOneLongerThanADispatchTakesTwo) {
    ComputeEngine engine(withDispatchSize(1'000));
    LogRecorder log;
    engine.setOnLog(log.callback());
    std::vector<std::uint64_t> candidates;
    SearchRequest request = gpuRequest("abc", 5'000, 6'001, 1);
    request.tag = DispatchTag{"GPU#1", 3};
    const auto result =
        engine.searchRange(request, [&](std::uint64_t nonce) { candidates.push_back(nonce); });

    const auto expected = referenceHits("abc", 5'000, 6'001, 1);
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.note, SearchNote::gpuOnly);
    EXPECT_EQ(result.batches, 2);
    EXPECT_EQ(result.nonces, expected);
    EXPECT_EQ(candidates, expected);

    const auto lines = log.messages("GPU#1");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], " -> dispatch claim=3 startNonce=5000");
    std::string matches;
    for (std::uint64_t nonce : expected) {
        if (nonce < 6'000) {
            if (!matches.empty()) {
                matches += ',';
            }
            matches += std::to_string(nonce);
        }
    }
    EXPECT_TRUE(std::regex_match(
        lines[1],
        std::regex("🎯 done claim=3 batch=1 elapsed=[0-9]+\\.[0-9]{3}s matches=" + matches)))
        << lines[1];
    EXPECT_EQ(lines[2], " -> dispatch claim=3 startNonce=6000");
    const bool lastIsHit = expected.back() == 6'000;
    EXPECT_TRUE(std::regex_match(
        lines[3],
        std::regex(lastIsHit ? "🎯 done claim=3 batch=2 elapsed=[0-9]+\\.[0-9]{3}s matches=6000"
                             : "🎯|🔎 done claim=3 batch=2 elapsed=[0-9]+\\.[0-9]{3}s no-match")))
        << lines[3];
    const auto submits = log.messages("SUBMIT");
    ASSERT_FALSE(submits.empty());
    EXPECT_EQ(submits[0], "📬 claim=3 batch=1 queueing " +
                              std::to_string(expected.size() - (lastIsHit ? 1 : 0)) +
                              " nonce(s) for validation");

    // Without a tag the lines go under "GPU" with claim 1.
    LogRecorder untagged;
    engine.setOnLog(untagged.callback());
    engine.searchRange(gpuRequest("abc", 0, 10, 64));
    const std::vector<std::string> expectedUntagged = {" -> dispatch claim=1 startNonce=0"};
    ASSERT_EQ(untagged.messages("GPU").size(), 2u);
    EXPECT_EQ(untagged.messages("GPU")[0], expectedUntagged[0]);
    EXPECT_EQ(untagged.messages("GPU")[1].rfind("🔎 done claim=1 batch=1 elapsed=", 0), 0u);
    engine.setOnLog({});
}

TEST(GpuDispatchLoopTest, HitsBeyondTheResultSlotsAreSearchedAgainInPieces) {
    // 2^21 nonces at difficulty 1 hold about 131,000 hits: twice what one grid has slots for.
    constexpr std::uint64_t kCount = std::uint64_t{1} << 21;
    ComputeEngine engine(withDispatchSize(kCount));
    LogRecorder log;
    engine.setOnLog(log.callback());
    std::vector<std::uint64_t> candidates;
    SearchRequest request = gpuRequest("abc", 0, kCount, 1);
    request.tag = DispatchTag{"GPU#0", 5};
    const auto result =
        engine.searchRange(request, [&](std::uint64_t nonce) { candidates.push_back(nonce); });

    const auto expected = referenceHits("abc", 0, kCount, 1);
    ASSERT_GT(expected.size(), 65'536u);
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.note, SearchNote::gpuOnly);
    EXPECT_EQ(result.batches, 1);
    EXPECT_TRUE(result.nonces == expected) << result.nonces.size() << " of " << expected.size();
    EXPECT_TRUE(candidates == expected) << candidates.size() << " of " << expected.size();

    // One dispatch, and one line saying it was searched again.
    EXPECT_EQ(dispatchLines(log, "GPU#0").size(), 1u);
    std::vector<std::string> overflowLines;
    for (const std::string& message : log.messages("GPU#0")) {
        if (message.rfind("⚠️", 0) == 0) {
            overflowLines.push_back(message);
        }
    }
    const std::vector<std::string> expectedOverflow = {
        "⚠️ dispatch claim=5 batch=1 found " + std::to_string(expected.size()) +
        " hits, more than its 65536 result slots; searched again in smaller pieces"};
    EXPECT_EQ(overflowLines, expectedOverflow);
    engine.setOnLog({});
}

TEST(GpuDispatchLoopTest, CancelAllSearchesEndsAfterTheRunningDispatch) {
    ComputeEngine engine(withDispatchSize(2'000));
    ASSERT_TRUE(engine.runParityProbe());
    // Cancel as soon as the first dispatch has reported: the loop must stop before the second.
    engine.setOnLog([&](std::string_view, std::string_view message) {
        if (message.find("done claim=1 batch=1 ") != std::string_view::npos) {
            engine.cancelAllSearches();
        }
    });
    const auto result = engine.searchRange(gpuRequest("abc", 0, 1'000'000, 1));
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.note, SearchNote::gpuOnly);
    EXPECT_EQ(result.batches, 1);
    EXPECT_EQ(result.nonces, referenceHits("abc", 0, 2'000, 1));
    EXPECT_EQ(engine.activeSearchCount(), 0u);
    engine.setOnLog({});
}

TEST(GpuParityTest, TwoSearchesStartedTogetherRunTheProbeOnce) {
    ComputeEngine engine;
    auto first = engine.startSearch(gpuRequest("abc", 0, 3'000, 2));
    auto second = engine.startSearch(gpuRequest("xyz", 0, 3'000, 2));
    EXPECT_EQ(first->wait().nonces, referenceHits("abc", 0, 3'000, 2));
    EXPECT_EQ(second->wait().nonces, referenceHits("xyz", 0, 3'000, 2));
    EXPECT_EQ(engine.parityProbeRuns(), 1u);
    EXPECT_TRUE(engine.runParityProbe());
    EXPECT_EQ(engine.parityProbeRuns(), 1u);
}

TEST(GpuParityTest, AWrongKernelFailsTheProbeAndNeverDispatches) {
    // Reports every nonce: the three probe cases see far more hits than the CPU.
    ComputeEngine engine(withKernel(kernelWithHitTest("true")));
    LogRecorder log;
    engine.setOnLog(log.callback());
    auto first = engine.startSearch(gpuRequest("abc", 0, 3'000, 2));
    auto second = engine.startSearch(gpuRequest("abc", 3'000, 6'000, 2));
    for (const auto& result : {first->wait(), second->wait()}) {
        EXPECT_EQ(result.status, ComputeSearchStatus::unprocessed);
        EXPECT_EQ(result.note, SearchNote::gpuParityFailed);
        EXPECT_EQ(result.batches, 0);
        EXPECT_TRUE(result.usedGpu);
    }
    EXPECT_EQ(engine.parityProbeRuns(), 1u);
    const auto later = engine.searchRange(gpuRequest("abc", 6'000, 9'000, 2));
    EXPECT_EQ(later.note, SearchNote::gpuParityFailed);
    EXPECT_EQ(engine.parityProbeRuns(), 1u);
    EXPECT_FALSE(engine.runParityProbe());
    EXPECT_EQ(engine.gpuFallbackReason("abc"), GpuFallbackReason::parityFailed);
    EXPECT_TRUE(dispatchLines(log, "GPU").empty());
    EXPECT_EQ(log.messages("GPU"),
              std::vector<std::string>(3, "fallback reason=gpu-parity-failed"));
    // The processor path is untouched.
    EXPECT_EQ(engine.searchRange(cpuRequest("abc", 0, 3'000, 2)).nonces,
              referenceHits("abc", 0, 3'000, 2));
}

TEST(GpuParityTest, HitsTheCpuDoesNotConfirmAreDropped) {
    // Right on the probe's cases, wrong far from them: every nonce from 10^12 on is reported.
    ComputeEngine engine(withKernel(kernelWithHitTest("meets || *baseNonce >= 1000000000000UL")));
    ASSERT_TRUE(engine.runParityProbe());
    LogRecorder log;
    engine.setOnLog(log.callback());
    std::vector<std::uint64_t> candidates;
    const std::uint64_t start = 1'000'000'000'000;
    const auto result =
        engine.searchRange(gpuRequest("abc", start, start + 300, 2),
                           [&](std::uint64_t nonce) { candidates.push_back(nonce); });
    const auto expected = referenceHits("abc", start, start + 300, 2);
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.nonces, expected);
    EXPECT_EQ(candidates, expected);
    std::size_t rejected = 0;
    for (const std::string& message : log.messages("GPU")) {
        if (message.rfind("❌ gpu hit rejected nonce=", 0) == 0) {
            ++rejected;
        }
    }
    EXPECT_EQ(rejected, 300 - expected.size());
    EXPECT_EQ(log.messages("GPU").front(), " -> dispatch claim=1 startNonce=1000000000000");
    EXPECT_EQ(log.messages("GPU")[1],
              "❌ gpu hit rejected nonce=" +
                  std::to_string(expected.empty() || expected[0] != start ? start : start + 1));
}

TEST(GpuParityTest, ACancelledProbeDoesNotDisableTheGpu) {
    // cancelAllSearches keeps firing while the first GPU search (and with it the probe) runs, so
    // the probe's processor half is cut short. That must not count as a failed probe.
    for (int attempt = 0; attempt < 2; ++attempt) {
        ComputeEngine engine;
        std::atomic<bool> searching{true};
        std::thread canceller([&] {
            while (searching.load()) {
                engine.cancelAllSearches();
                std::this_thread::yield();
            }
        });
        const auto cancelled = engine.searchRange(gpuRequest("abc", 0, 3'000, 2));
        searching.store(false);
        canceller.join();
        EXPECT_EQ(cancelled.status, ComputeSearchStatus::completed);
        EXPECT_LE(engine.parityProbeRuns(), 1u);

        const auto result = engine.searchRange(gpuRequest("abc", 0, 3'000, 2));
        EXPECT_EQ(result.status, ComputeSearchStatus::completed);
        EXPECT_EQ(result.nonces, referenceHits("abc", 0, 3'000, 2));
        EXPECT_EQ(engine.parityProbeRuns(), 1u);
    }
}

TEST(GpuSetUpTest, SystemLogNamesTheDeviceAndThePipeline) {
    SystemLogCapture capture;
    ComputeEngine engine;
    engine.waitForGpuSetUp();
    const auto messages = capture.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0],
              "OpenCL device detected: " + *engine.gpuDeviceName() + "; GPU requires parity probe");
    EXPECT_EQ(messages[1], "OpenCL diagnostic pipeline: ready; runtime parity-gated");
}

TEST(GpuSetUpTest, ABrokenKernelLeavesTheCpuPathOnly) {
    {
        SystemLogCapture capture;
        ComputeEngine engine(
            withKernel("__kernel void sha256_search(__global uint* x) { x[0] = ; }"));
        engine.waitForGpuSetUp();
        const auto messages = capture.messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1].rfind("OpenCL program failed to build", 0), 0u) << messages[1];
        EXPECT_NE(messages[1].find("error"), std::string::npos);  // the compiler's own log
        const auto result = engine.searchRange(gpuRequest("abc", 0, 100, 1));
        EXPECT_EQ(result.note, SearchNote::gpuPipelineUnavailable);
        EXPECT_EQ(result.status, ComputeSearchStatus::unprocessed);
        EXPECT_FALSE(engine.runParityProbe());
        EXPECT_EQ(engine.searchRange(cpuRequest("abc", 0, 100, 1)).nonces,
                  referenceHits("abc", 0, 100, 1));
    }
    {
        SystemLogCapture capture;
        ComputeEngine engine(
            withKernel("__kernel void other_kernel(__global uint* x) { x[0] = 1; }"));
        engine.waitForGpuSetUp();
        const auto messages = capture.messages();
        ASSERT_EQ(messages.size(), 2u);
        EXPECT_EQ(messages[1], "Kernel sha256_search is missing");
        EXPECT_EQ(engine.gpuFallbackReason("abc"), GpuFallbackReason::pipelineUnavailable);
    }
}

}  // namespace
}  // namespace corvanta::engine
