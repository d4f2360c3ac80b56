#include <gtest/gtest.h>
#include <openssl/sha.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/compute_engine.h"
#include "engine/difficulty.h"
#include "engine/search_thread_pool.h"
#include "engine/task_throughput_monitor.h"
#include "engine/worker_registry.h"

namespace corvanta::engine {
namespace {

std::vector<std::uint64_t> opensslHits(const std::string& seed, std::uint64_t start,
                                       std::uint64_t end, int difficulty) {
    std::vector<std::uint64_t> hits;
    for (std::uint64_t n = start; n < end; ++n) {
        const std::string message = seed + std::to_string(n);
        Sha256Digest digest;
        SHA256(reinterpret_cast<const unsigned char*>(message.data()), message.size(),
               digest.data());
        if (meetsDifficulty(digest, difficulty)) {
            hits.push_back(n);
        }
    }
    return hits;
}

SearchRequest cpuRequest(std::uint64_t start, std::uint64_t end, std::string seed, int difficulty) {
    return SearchRequest{start,       end, std::move(seed), difficulty, ComputeWorkerLaneKind::cpu,
                         std::nullopt};
}

// The run log and the backend read these words; the enums must keep giving exactly them.
TEST(SearchWords, NotesReasonsStatusesAndBackendsKeepTheirRunLogWords) {
    const std::pair<SearchNote, std::string_view> notes[] = {
        {SearchNote::cpu, "cpu"},
        {SearchNote::gpuOnly, "gpu-only"},
        {SearchNote::gpuNoDevice, "gpu-only-no-metal-device"},
        {SearchNote::gpuPipelineUnavailable, "gpu-only-metal-pipeline-unavailable"},
        {SearchNote::gpuSeedTooLong, "gpu-only-seed-too-long"},
        {SearchNote::gpuParityFailed, "gpu-only-gpu-parity-failed"},
        {SearchNote::gpuDispatchFailed, "gpu-only-dispatch-failed"},
        {SearchNote::searchFailed, "search-failed"},
    };
    for (const auto& [note, word] : notes) {
        EXPECT_EQ(searchNoteWord(note), word);
    }
    const std::tuple<GpuFallbackReason, std::string_view, SearchNote> reasons[] = {
        {GpuFallbackReason::noDevice, "no-metal-device", SearchNote::gpuNoDevice},
        {GpuFallbackReason::pipelineUnavailable, "metal-pipeline-unavailable",
         SearchNote::gpuPipelineUnavailable},
        {GpuFallbackReason::seedTooLong, "seed-too-long", SearchNote::gpuSeedTooLong},
        {GpuFallbackReason::parityFailed, "gpu-parity-failed", SearchNote::gpuParityFailed},
    };
    for (const auto& [reason, word, note] : reasons) {
        EXPECT_EQ(gpuFallbackReasonWord(reason), word);
        EXPECT_EQ(gpuFallbackNote(reason), note);
    }
    EXPECT_EQ(searchStatusWord(ComputeSearchStatus::completed), "completed");
    EXPECT_EQ(searchStatusWord(ComputeSearchStatus::unprocessed), "unprocessed");
    EXPECT_EQ(searchStatusWord(ComputeSearchStatus::failed), "failed");
    ComputeSearchResult result;
    EXPECT_EQ(searchBackendWord(result), "cpu-cryptokit");
    result.usedGpu = true;
    EXPECT_EQ(searchBackendWord(result), "gpu-metal");
}

TEST(ComputeEngineCpu, FindsTheHitsOpenSslFindsAndReportsEachOnTheSearchThread) {
    ComputeEngine engine;
    const auto caller = std::this_thread::get_id();
    for (const auto& [seed, start, end, difficulty] :
         std::vector<std::tuple<std::string, std::uint64_t, std::uint64_t, int>>{
             {"abc", 0, 4096, 2},
             {"", 0, 2000, 2},
             {"grüße 🎯", 95, 1105, 2},
             {std::string(60, 'a'), 990, 3000, 2},
         }) {
        std::vector<std::uint64_t> reported;
        bool onOtherThread = true;
        const auto result =
            engine.searchRange(cpuRequest(start, end, seed, difficulty), [&](std::uint64_t nonce) {
                onOtherThread &= std::this_thread::get_id() != caller;
                reported.push_back(nonce);
            });
        const auto expected = opensslHits(seed, start, end, difficulty);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(result.nonces, expected) << seed;
        EXPECT_EQ(reported, expected);
        EXPECT_TRUE(onOtherThread);
        EXPECT_FALSE(result.usedGpu);
        EXPECT_EQ(result.batches, 1);
        EXPECT_EQ(result.note, SearchNote::cpu);
        EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    }
    EXPECT_EQ(engine.activeSearchCount(), 0u);
}

TEST(ComputeEngineCpu, DifficultyBoundsAndEmptyRanges) {
    ComputeEngine engine;
    int calls = 0;
    auto count = [&](std::uint64_t) { ++calls; };
    auto all = engine.searchRange(cpuRequest(7, 27, "seed", 0), count);
    EXPECT_EQ(all.nonces.size(), 20u);
    EXPECT_EQ(all.nonces.front(), 7u);
    EXPECT_EQ(all.nonces.back(), 26u);
    EXPECT_EQ(calls, 20);
    EXPECT_EQ(engine.searchRange(cpuRequest(0, 100, "seed", -5)).nonces.size(), 100u);
    EXPECT_TRUE(engine.searchRange(cpuRequest(0, 5000, "seed", 65)).nonces.empty());

    calls = 0;
    const auto empty = engine.searchRange(cpuRequest(5, 5, "seed", 0), count);
    EXPECT_TRUE(empty.nonces.empty());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(empty.status, ComputeSearchStatus::completed);
}

TEST(ComputeEngineCpu, RefusesARangeWhoseStartLiesAboveItsEnd) {
    ComputeEngine engine;
    bool called = false;
    EXPECT_THROW(
        engine.startSearch(cpuRequest(10, 9, "seed", 0), [&](std::uint64_t) { called = true; }),
        std::invalid_argument);
    EXPECT_FALSE(called);
    EXPECT_EQ(engine.activeSearchCount(), 0u);
}

TEST(ComputeEngineCpu, CancellingMidRangeKeepsTheHitsFoundSoFar) {
    ComputeEngine engine;
    std::vector<std::uint64_t> reported;
    std::shared_ptr<ComputeSearch> search;
    std::mutex started;
    std::unique_lock hold(started);
    // Difficulty 1 hits about one nonce in 16; stop after the third.
    search = engine.startSearch(cpuRequest(0, 1'000'000'000, "cancel", 1), [&](std::uint64_t n) {
        reported.push_back(n);
        if (reported.size() == 3) {
            std::lock_guard wait(started);  // `search` is assigned by now
            search->cancel();
        }
    });
    hold.unlock();
    const auto result = search->wait();
    EXPECT_EQ(result.status, ComputeSearchStatus::completed);
    EXPECT_EQ(result.nonces, reported);
    ASSERT_GE(result.nonces.size(), 3u);
    // The flag is seen within one group of nonces.
    EXPECT_LT(result.nonces.back() - result.nonces[2], 64u);
    EXPECT_EQ(result.nonces, opensslHits("cancel", 0, result.nonces.back() + 1, 1));
    EXPECT_EQ(engine.activeSearchCount(), 0u);
}

TEST(ComputeEngineCpu, CancelAllSearchesStopsEveryRunningSearch) {
    ComputeEngine engine;
    engine.cancelAllSearches();  // nothing running: nothing happens

    std::atomic<int> completions{0};
    std::vector<std::shared_ptr<ComputeSearch>> searches;
    const auto max = std::numeric_limits<std::uint64_t>::max();
    for (int i = 0; i < 3; ++i) {
        searches.push_back(engine.startSearch(cpuRequest(0, max, "forever", 64), {},
                                              [&](const ComputeSearchResult&) { ++completions; }));
    }
    while (engine.activeSearchCount() != 3) {
        std::this_thread::yield();
    }
    engine.cancelAllSearches();
    for (auto& search : searches) {
        const auto result = search->wait();
        EXPECT_EQ(result.status, ComputeSearchStatus::completed);
        EXPECT_TRUE(result.nonces.empty());
    }
    EXPECT_EQ(completions.load(), 3);
    EXPECT_EQ(engine.activeSearchCount(), 0u);

    // A search started afterwards is not affected by the earlier cancellation.
    EXPECT_EQ(engine.searchRange(cpuRequest(0, 50, "after", 0)).nonces.size(), 50u);
}

TEST(ComputeEngineCpu, DestroyingTheEngineEndsItsSearches) {
    std::shared_ptr<ComputeSearch> search;
    {
        ComputeEngine engine;
        search = engine.startSearch(
            cpuRequest(0, std::numeric_limits<std::uint64_t>::max(), "forever", 64));
    }
    EXPECT_TRUE(search->isFinished());
}

TEST(ComputeEngineCpu, SearchThreadsRunBelowTheCallersPriority) {
    ComputeEngine engine;
    errno = 0;
    const int callerNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
    int searchNice = callerNice;
    int policy = -1;
    engine.searchRange(cpuRequest(0, 1, "nice", 0), [&](std::uint64_t) {
        searchNice = getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
        policy = sched_getscheduler(0);
    });
    EXPECT_GT(searchNice, callerNice);
    EXPECT_EQ(policy, SCHED_BATCH);
}

TEST(ComputeEngineGpu, WithoutADeviceTheRangeComesBackUnprocessed) {
    ComputeEngine engine;
    std::vector<std::pair<std::string, std::string>> lines;
    std::mutex mutex;
    engine.setOnLog([&](std::string_view category, std::string_view message) {
        std::lock_guard lock(mutex);
        lines.emplace_back(category, message);
    });
    SearchRequest request{0, 1000, "abc", 2, ComputeWorkerLaneKind::gpu, DispatchTag{"GPU#0", 4}};
    const auto result = engine.searchRange(request, [](std::uint64_t) { FAIL(); });
    EXPECT_EQ(result.status, ComputeSearchStatus::unprocessed);
    EXPECT_EQ(result.note, SearchNote::gpuNoDevice);
    EXPECT_TRUE(result.usedGpu);
    EXPECT_EQ(result.batches, 0);
    EXPECT_TRUE(result.nonces.empty());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0],
              (std::pair<std::string, std::string>{"GPU#0", "fallback reason=no-metal-device"}));
}

TEST(ComputeEngineFaults, AFaultOnASearchThreadFailsTheSearchNotTheProcess) {
    // Throws for any search whose range starts at 7: a fault in the engine's own steps.
    ComputeEngine::Options options;
    options.beforeSearch = [](const SearchRequest& request) {
        if (request.start == 7) {
            throw std::bad_alloc();
        }
    };
    ComputeEngine engine(options);
    std::vector<std::pair<std::string, std::string>> lines;
    std::mutex mutex;
    engine.setOnLog([&](std::string_view category, std::string_view message) {
        std::lock_guard lock(mutex);
        lines.emplace_back(category, message);
    });
    const auto expectFailed = [](const ComputeSearchResult& result, bool gpu) {
        EXPECT_EQ(result.status, ComputeSearchStatus::failed);
        EXPECT_EQ(result.note, SearchNote::searchFailed);
        EXPECT_EQ(result.usedGpu, gpu);
        EXPECT_TRUE(result.nonces.empty());
    };

    // A candidate hand-off that throws, twice: one line in the run log.
    for (int i = 0; i < 2; ++i) {
        expectFailed(
            engine.searchRange(cpuRequest(0, 4096, "abc", 2),
                               [](std::uint64_t) { throw std::runtime_error("hand-off refused"); }),
            false);
    }
    // Another kind of fault, on either lane kind, and one that is no std::exception.
    for (const auto lane : {ComputeWorkerLaneKind::cpu, ComputeWorkerLaneKind::gpu}) {
        SearchRequest request{7, 900, "abc", 2, lane, std::nullopt};
        expectFailed(engine.searchRange(request), lane == ComputeWorkerLaneKind::gpu);
    }
    expectFailed(engine.searchRange(cpuRequest(0, 100, "abc", 0), [](std::uint64_t) { throw 42; }),
                 false);

    // A failure while handing the result back still finishes the search.
    auto search = engine.startSearch(
        cpuRequest(0, 100, "abc", 1), {},
        [](const ComputeSearchResult&) { throw std::logic_error("completion refused"); });
    EXPECT_EQ(search->wait().nonces, opensslHits("abc", 0, 100, 1));

    {
        std::lock_guard lock(mutex);
        const std::vector<std::pair<std::string, std::string>> expected = {
            {"ERROR",
             "❌ search failed lane=cpu range=[0..<4096) error=std::runtime_error: hand-off "
             "refused; the range goes back to the pool (later faults of this kind are not "
             "logged)"},
            {"ERROR",
             "❌ search failed lane=cpu range=[7..<900) error=std::bad_alloc; the range goes "
             "back to the pool (later faults of this kind are not logged)"},
            {"ERROR",
             "❌ search failed lane=cpu range=[0..<100) error=unknown exception; the range goes "
             "back to the pool (later faults of this kind are not logged)"},
            {"ERROR",
             "❌ search failed lane=cpu range=[0..<100) error=std::logic_error: completion "
             "refused; the range goes back to the pool (later faults of this kind are not "
             "logged)"},
        };
        EXPECT_EQ(lines, expected);
    }
    // The engine goes on: no search left behind, and the same ranges search normally.
    EXPECT_EQ(engine.activeSearchCount(), 0u);
    EXPECT_EQ(engine.searchRange(cpuRequest(0, 4096, "abc", 2)).nonces,
              opensslHits("abc", 0, 4096, 2));
    EXPECT_EQ(engine.searchRange(cpuRequest(8, 900, "abc", 2)).status,
              ComputeSearchStatus::completed);
}

TEST(ComputeEngineFaults, AJobThatThrowsLeavesThePoolWorking) {
    SearchThreadPool pool;
    std::promise<void> ran;
    pool.submit([] { throw std::runtime_error("job failed"); });
    pool.submit([] { throw 7; });
    pool.submit([&] { ran.set_value(); });
    EXPECT_EQ(ran.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(ThroughputAndRegistry, SharedCountersStayConsistentAcrossLanes) {
    TaskThroughputMonitor monitor;
    WorkerRegistry registry;
    const auto t0 = TaskThroughputAccumulator::Clock::now();
    monitor.reset(t0);
    std::vector<std::thread> lanes;
    for (int id = 0; id < 4; ++id) {
        lanes.emplace_back([&, id] {
            registry.add(id);
            for (int i = 0; i < 1000; ++i) {
                monitor.update([](TaskThroughputAccumulator& a) {
                    a.totalNonceCount += 100;
                    a.totalSegments += 1;
                });
            }
        });
    }
    for (auto& lane : lanes) {
        lane.join();
    }
    EXPECT_EQ(registry.count(), 4u);
    registry.remove(2);
    registry.remove(2);
    EXPECT_EQ(registry.count(), 3u);
    EXPECT_FALSE(registry.contains(2));
    const auto totals = monitor.read();
    EXPECT_EQ(totals.totalNonceCount, 400'000u);
    EXPECT_EQ(totals.totalSegments, 4000u);
    EXPECT_EQ(totals.startedAt, t0);
    EXPECT_EQ(totals.lastSummaryAt, t0);
    monitor.reset();
    EXPECT_EQ(monitor.read().totalNonceCount, 0u);
}

}  // namespace
}  // namespace corvanta::engine
