#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "async/cancellable_sleep.h"
#include "engine/difficulty.h"
#include "engine/sha256/sha256.h"
#include "support/coro_test_util.h"
#include "tasks/lane_plan.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {
namespace {

using namespace std::chrono_literals;
using corvanta::testing::processEventsUntil;
using corvanta::testing::runSync;
using engine::ComputeWorkerLaneKind;

guard::PressureAdvice adviceOf(int units, QString reason = QStringLiteral("baseline"),
                               std::uint64_t chunk = 200'000'000) {
    guard::PressureAdvice advice;
    advice.suggestedCuCount = units;
    advice.reason = std::move(reason);
    advice.suggestedChunkSize = chunk;
    return advice;
}

bool isHit(const QString& seed, std::uint64_t nonce, int difficulty) {
    return engine::meetsDifficulty(engine::sha256(seed.toStdString() + std::to_string(nonce)),
                                   difficulty);
}

TEST(LanePlan, AdviceAndRangeDecideTheLanes) {
    EXPECT_EQ(lanePlan(adviceOf(16), 6, 10), (std::pair{6, 10}));
    EXPECT_EQ(lanePlan(adviceOf(8), 6, 10), (std::pair{6, 2}));
    EXPECT_EQ(lanePlan(adviceOf(2), 6, 10), (std::pair{1, 1}));
    EXPECT_EQ(lanePlan(adviceOf(4, "ui-latency"), 6, 10), (std::pair{4, 0}));
    EXPECT_EQ(lanePlan(adviceOf(1), 6, 10), (std::pair{1, 0}));
    EXPECT_EQ(lanePlan(adviceOf(0), 6, 10), (std::pair{1, 0}));
    EXPECT_EQ(lanePlan(adviceOf(16, "baseline", 0), 6, 10), (std::pair{0, 0}));
    EXPECT_EQ(lanePlan(adviceOf(5, "thermal-serious"), 6, 10), (std::pair{5, 0}));
    EXPECT_EQ(lanePlan(adviceOf(1, "thermal-serious"), 6, 10), (std::pair{1, 0}));
    EXPECT_EQ(lanePlan(adviceOf(5, "thermal-serious"), 0, 10), (std::pair{0, 0}));
    EXPECT_EQ(lanePlan(adviceOf(0, "thermal-fair"), 0, 10), (std::pair{0, 1}));
    EXPECT_EQ(lanePlan(adviceOf(0, "baseline"), 0, 10), (std::pair{0, 0}));
    EXPECT_EQ(lanePlan(adviceOf(3, "ui-busy"), 0, 0), (std::pair{0, 0}));

    using L = ComputeWorkerLane;
    // A small task gets one processor lane whatever the advice says.
    EXPECT_EQ(buildLanes(0, 5'000'000, adviceOf(16)),
              (std::vector<L>{{ComputeWorkerLaneKind::cpu, 0, L::cpuChunkSize}}));
    // 100,000,000 nonces: 12 lanes at most, 6 of each kind.
    auto lanes = buildLanes(0, 100'000'000, adviceOf(16));
    ASSERT_EQ(lanes.size(), 12u);
    EXPECT_EQ(std::count_if(lanes.begin(), lanes.end(),
                            [](const L& l) { return l.kind == ComputeWorkerLaneKind::gpu; }),
              6);
    EXPECT_EQ(lanes[6], (L{ComputeWorkerLaneKind::cpu, 0, L::cpuChunkSize}));
    EXPECT_EQ(lanes[5], (L{ComputeWorkerLaneKind::gpu, 5, L::gpuChunkSize}));
    // Blocked advice: a single graphics-processor lane that will wait for its budget.
    EXPECT_EQ(buildLanes(0, 100'000'000, adviceOf(16, "thermal-critical", 0)),
              (std::vector<L>{{ComputeWorkerLaneKind::gpu, 0, L::gpuChunkSize}}));
    EXPECT_EQ(buildLanes(10, 10, adviceOf(16)).size(), 1u);

    EXPECT_EQ(compactCountLabel(999), "999");
    EXPECT_EQ(compactCountLabel(8'388'608), "8.4M");
    EXPECT_EQ(compactCountLabel(67'108'864), "67.1M");
    EXPECT_EQ(compactCountLabel(1'500), "1.5K");
    EXPECT_EQ(compactCountLabel(4'000'000'000), "4.0G");
    EXPECT_EQ(rateLabel(12'345'678), "12.35M/s");
    EXPECT_EQ(rateLabel(5'600), "5.6K/s");
    EXPECT_EQ(rateLabel(42), "42/s");
}

// A scheduler on the real CPU engine and a real task database in a temporary directory, with
// intervals scaled down a hundredfold and small segments.
class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        makeScheduler();
    }

    // A solved run may leave validator calls for other candidates sleeping; they use this
    // fixture when they wake, so it outlives them.
    void TearDown() override {
        EXPECT_TRUE(processEventsUntil([&] { return validationsInFlight == 0; }));
    }

    void makeScheduler(LaneChunkSizes chunkSizes = LaneChunkSizes{4'000, 1'000}) {
        scheduler.reset();
        TaskSchedulerDependencies deps;
        deps.coordinator = &coordinator;
        deps.currentAdvice = [this] { return advice; };
        deps.currentSnapshot = [] { return guard::SystemSnapshot{}; };
        deps.stateStore = std::make_unique<TaskStateStore>(dir.path());
        deps.timing.intervalScale = 0.01;
        deps.chunkSizes = chunkSizes;
        deps.engineOptions.beforeSearch = beforeSearch;
        scheduler = std::make_unique<TaskScheduler>(std::move(deps));
        scheduler->setOnLog([this](const QString& category, const QString& message) {
            lines.push_back(category + QStringLiteral(" ") + message);
        });
        scheduler->setOnProgress([this](const QString&, const QString&, int, std::uint64_t position,
                                        std::uint64_t) { lastPosition = position; });
    }

    // Accepts only real hits, and only the nonces in `accept` when it is not empty.
    void installValidator(std::set<std::uint64_t> accept = {}, bool rejectAll = false) {
        coordinator.setValidator([this, accept, rejectAll](std::uint64_t nonce, QString seed,
                                                           QString,
                                                           std::stop_token) -> QCoro::Task<bool> {
            validated.push_back(nonce);
            ++validationsInFlight;
            co_await async::sleepFor(validatorDelay, {});
            --validationsInFlight;
            co_return !rejectAll && isHit(seed, nonce, currentDifficulty) &&
                (accept.empty() || accept.contains(nonce));
        });
    }

    int count(const QString& needle) const {
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(), [&](const QString& l) { return l.contains(needle); }));
    }
    bool logged(const QString& needle) const { return count(needle) > 0; }

    QTemporaryDir dir;
    ValidationCoordinator coordinator;
    guard::PressureAdvice advice = adviceOf(16);
    std::unique_ptr<TaskScheduler> scheduler;
    std::vector<QString> lines;
    std::vector<std::uint64_t> validated;
    std::chrono::milliseconds validatorDelay{1};
    int validationsInFlight = 0;
    std::uint64_t lastPosition = 0;
    int currentDifficulty = 2;
    // Runs on the search thread before every search (see ComputeEngine::Options).
    std::function<void(const engine::SearchRequest&)> beforeSearch;
};

TEST_F(SchedulerTest, ARealHitAcceptedByValidationSolvesTheTask) {
    currentDifficulty = 3;
    installValidator();
    const bool solved = runSync(scheduler->runTask("task-1", "abc", 3, 20'000, 0, {}), 60s);
    EXPECT_TRUE(solved);
    EXPECT_TRUE(
        logged("ORCH scheduler start backend=hybrid lanes=gpu+cpu "
               "gpu=runtime-parity-gated upper=20000 from=0 lanes=gpu:6x4.0K cpu:10x1.0K "
               "workers=16 restored=false cpuIdle=100% memory=0 thermal=nominal "
               "pressure=baseline"));
    EXPECT_TRUE(logged("candidate nonce="));
    EXPECT_TRUE(logged("✅ validation passed"));
    // Hits a lane reports while winding down are validated as a new batch of the same task, so
    // more than one may pass here (the backend refuses them for a solved task).
    EXPECT_GE(coordinator.passedCount(), 1);
    EXPECT_FALSE(scheduler->stateStore()->load("abc").has_value());  // progress deleted
    // The coordinator's own solved callback is back in place.
    EXPECT_FALSE(coordinator.onTaskSolved());
}

TEST_F(SchedulerTest, ASearchedOutRangeFailsAndGpuLanesFallBackToTheProcessor) {
    advice = adviceOf(2);  // one lane of each kind
    installValidator({}, /*rejectAll=*/true);
    const bool solved = runSync(scheduler->runTask("task-2", "xyz", 2, 30'000, 0, {}), 60s);
    EXPECT_FALSE(solved);
    EXPECT_TRUE(
        logged("VALIDATE ❌ validation failed id=task-2 reason=range_exhausted_no_valid_nonce"));
    EXPECT_TRUE(
        logged("GPU#0 returned gpu-unprocessed segment=1 note=gpu-only-no-metal-device; "
               "fallback=cpu"));
    EXPECT_TRUE(logged("backend=cpu-cryptokit"));
    EXPECT_TRUE(logged("CPU w#0 exit exhausted segments="));
    EXPECT_EQ(lines.front().left(22), QString("ORCH scheduler start b"));
    EXPECT_TRUE(logged("workers=2 restored=false"));
    EXPECT_EQ(coordinator.failedCount(), 1);
    EXPECT_FALSE(scheduler->stateStore()->load("xyz").has_value());
    // Every hit of the range went to validation exactly once.
    std::vector<std::uint64_t> hits;
    for (std::uint64_t n = 0; n < 30'000; ++n) {
        if (isHit("xyz", n, 2)) {
            hits.push_back(n);
        }
    }
    std::sort(validated.begin(), validated.end());
    EXPECT_EQ(validated, hits);
}

TEST_F(SchedulerTest, AnInterruptedRunResumesWithoutSearchingFinishedRangesAgain) {
    const QString seed = QStringLiteral("resume-me");
    advice = adviceOf(2);
    validatorDelay = 3ms;
    installValidator({}, /*rejectAll=*/true);
    constexpr std::uint64_t upper = 120'000;

    // First run: abandon it once a good part of the range is done.
    std::stop_source stop;
    auto first = [&]() -> QCoro::Task<bool> {
        co_return co_await scheduler->runTask("task-3", seed, 2, upper, 0, stop.get_token());
    };
    bool finished = false;
    auto running = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(first(), finished);
    ASSERT_TRUE(processEventsUntil([&] { return lastPosition >= 40'000; }));
    scheduler->cancelRun();
    stop.request_stop();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_TRUE(logged("reason=cancelled") || logged("cancelled segments="));

    auto saved = scheduler->stateStore()->load(seed.toStdString());
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(saved->claimedRanges.empty());  // what was in flight went back to the pool
    std::set<std::uint64_t> searchedBefore;
    for (const auto& line : lines) {
        const int at = line.indexOf("candidate nonce=");
        if (at >= 0) {
            searchedBefore.insert(line.mid(at + 16).section(' ', 0, 0).toULongLong());
        }
    }
    ASSERT_FALSE(saved->completedRanges.empty());

    // Second run, by a new scheduler on the same database.
    lines.clear();
    validated.clear();
    makeScheduler();
    installValidator({}, /*rejectAll=*/true);
    EXPECT_FALSE(runSync(scheduler->runTask("task-3", seed, 2, upper, 0, {}), 60s));
    EXPECT_TRUE(logged("restored=true"));
    // Saved candidates are validated before anything the new lanes find.
    ASSERT_GE(validated.size(), saved->candidateNonces.size());
    EXPECT_TRUE(std::equal(saved->candidateNonces.begin(), saved->candidateNonces.end(),
                           validated.begin()));
    // No nonce inside a range completed before the interruption is reported again.
    for (const auto& line : lines) {
        const int at = line.indexOf("candidate nonce=");
        if (at < 0) {
            continue;
        }
        const auto nonce = line.mid(at + 16).section(' ', 0, 0).toULongLong();
        for (const auto& range : saved->completedRanges) {
            EXPECT_FALSE(nonce >= range.start && nonce < range.end) << nonce;
        }
    }
    // Together the two runs found every hit of the range.
    std::set<std::uint64_t> all = searchedBefore;
    for (const auto& line : lines) {
        const int at = line.indexOf("candidate nonce=");
        if (at >= 0) {
            all.insert(line.mid(at + 16).section(' ', 0, 0).toULongLong());
        }
    }
    std::set<std::uint64_t> hits;
    for (std::uint64_t n = 0; n < upper; ++n) {
        if (isHit(seed, n, 2)) {
            hits.insert(n);
        }
    }
    EXPECT_EQ(all, hits);
}

TEST_F(SchedulerTest, AStopWhileFoundNoncesAwaitTheBackendKeepsThemForTheNextRun) {
    const QString seed = QStringLiteral("drain-stop");
    advice = adviceOf(2);
    // The backend does not answer before the first run is stopped.
    validatorDelay = std::chrono::milliseconds(1500);
    installValidator();
    constexpr std::uint64_t upper = 3'000;

    std::stop_source stop;
    bool finished = false;
    auto running = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(scheduler->runTask("task-d", seed, 2, upper, 0, stop.get_token()), finished);
    // Every lane has run out of work; the run now waits for validation.
    ASSERT_TRUE(processEventsUntil([&] { return count("exit exhausted") >= 2; }));
    ASSERT_FALSE(validated.empty());
    // Stopped the way the engine stops: validation is reset at once.
    scheduler->cancelRun();
    coordinator.resetValidation();
    stop.request_stop();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_FALSE(logged("validation failed"));
    EXPECT_EQ(coordinator.failedCount(), 0);

    const auto saved = scheduler->stateStore()->load(seed.toStdString());
    ASSERT_TRUE(saved.has_value());
    // Every hit of the range is kept: none was answered before the stop.
    std::vector<std::uint64_t> hits;
    for (std::uint64_t n = 0; n < upper; ++n) {
        if (isHit(seed, n, 2)) {
            hits.push_back(n);
        }
    }
    auto kept = saved->candidateNonces;
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, hits);

    // The next run submits the kept nonces and solves the task without searching again.
    lines.clear();
    validated.clear();
    validatorDelay = std::chrono::milliseconds(1);
    makeScheduler();
    installValidator();
    EXPECT_TRUE(runSync(scheduler->runTask("task-d", seed, 2, upper, 0, {}), 60s));
    EXPECT_TRUE(logged("restored=true"));
    EXPECT_FALSE(logged("claim segment="));
    EXPECT_FALSE(scheduler->stateStore()->load(seed.toStdString()).has_value());
    // The first run's abandoned calls still end (their answers are dropped).
    EXPECT_TRUE(processEventsUntil([&] { return validationsInFlight == 0; }));
}

TEST_F(SchedulerTest, AFaultOnASearchThreadSendsTheRangeBackToBeSearchedLater) {
    // The first search of the range's first segment fails on its search thread.
    auto searches = std::make_shared<std::atomic<int>>(0);
    beforeSearch = [searches](const engine::SearchRequest& request) {
        if (request.start == 0 && searches->fetch_add(1) == 0) {
            throw std::runtime_error("injected fault");
        }
    };
    makeScheduler();
    advice = adviceOf(2);  // one lane of each kind
    installValidator({}, /*rejectAll=*/true);
    EXPECT_FALSE(runSync(scheduler->runTask("task-f", "faulty", 2, 30'000, 0, {}), 60s));
    EXPECT_GE(searches->load(), 2);
    EXPECT_EQ(count("ERROR ❌ search failed lane="), 1);
    EXPECT_TRUE(
        logged("error=std::runtime_error: injected fault; the range goes back to the pool"));
    EXPECT_EQ(count("returned [0..<"), 1);
    EXPECT_TRUE(logged("reason=failed note=search-failed"));
    EXPECT_TRUE(
        logged("VALIDATE ❌ validation failed id=task-f reason=range_exhausted_no_valid_nonce"));
    // The failed segment was searched later: every hit of the range went to validation once.
    std::vector<std::uint64_t> hits;
    for (std::uint64_t n = 0; n < 30'000; ++n) {
        if (isHit("faulty", n, 2)) {
            hits.push_back(n);
        }
    }
    ASSERT_FALSE(hits.empty());
    EXPECT_LT(hits.front(), 1'000u);
    std::sort(validated.begin(), validated.end());
    EXPECT_EQ(validated, hits);
}

TEST_F(SchedulerTest, AWorkerAddedAfterTheLastLaneFailedWorksWithinTheAdvice) {
    // The first search of each lane fails on its search thread, so both lanes quit and the last
    // one out leaves work behind: the scheduler adds a worker, which must be allowed to run
    // although its id (2) is above the one graphics-processor lane the advice allows.
    auto searches = std::make_shared<std::atomic<int>>(0);
    beforeSearch = [searches](const engine::SearchRequest&) {
        if (searches->fetch_add(1) < 2) {
            throw std::runtime_error("injected fault");
        }
    };
    makeScheduler();
    advice = adviceOf(2);  // one lane of each kind
    installValidator({}, /*rejectAll=*/true);
    EXPECT_FALSE(runSync(scheduler->runTask("task-r", "replaced", 2, 30'000, 0, {}), 30s));
    EXPECT_EQ(count("ORCH worker add id=2 lane=GPU#2 reason=returned-fragment"), 1);
    EXPECT_FALSE(logged("gpu pause"));
    EXPECT_TRUE(logged("GPU#2 exit exhausted"));
    EXPECT_TRUE(
        logged("VALIDATE ❌ validation failed id=task-r reason=range_exhausted_no_valid_nonce"));
    std::vector<std::uint64_t> hits;
    for (std::uint64_t n = 0; n < 30'000; ++n) {
        if (isHit("replaced", n, 2)) {
            hits.push_back(n);
        }
    }
    std::sort(validated.begin(), validated.end());
    EXPECT_EQ(validated, hits);
}

TEST_F(SchedulerTest, AStopMidRunKeepsEveryCandidateNotYetAnswered) {
    const QString seed = QStringLiteral("stop-mid-run");
    advice = adviceOf(2);
    // No answer comes before the stop.
    validatorDelay = std::chrono::milliseconds(5000);
    installValidator();
    constexpr std::uint64_t upper = 400'000;

    std::stop_source stop;
    bool finished = false;
    auto running = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(scheduler->runTask("task-m", seed, 2, upper, 0, stop.get_token()), finished);
    ASSERT_TRUE(processEventsUntil([&] { return lastPosition >= 20'000; }));
    scheduler->cancelRun();
    coordinator.resetValidation();
    stop.request_stop();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_FALSE(logged("validation failed"));

    // The segments that were searched to their end are not searched again, so each of their
    // hits must be in the stored row.
    const auto saved = scheduler->stateStore()->load(seed.toStdString());
    ASSERT_TRUE(saved.has_value());
    ASSERT_FALSE(saved->completedRanges.empty());
    const std::set<std::uint64_t> kept(saved->candidateNonces.begin(),
                                       saved->candidateNonces.end());
    int hitsInCompleted = 0;
    for (const auto& range : saved->completedRanges) {
        for (std::uint64_t n = range.start; n < range.end; ++n) {
            if (isHit(seed, n, 2)) {
                ++hitsInCompleted;
                EXPECT_TRUE(kept.contains(n)) << n;
            }
        }
    }
    EXPECT_GT(hitsInCompleted, 0);

    // The next run validates them before anything its lanes find.
    lines.clear();
    validated.clear();
    validatorDelay = std::chrono::milliseconds(1);
    makeScheduler();
    installValidator({}, /*rejectAll=*/true);
    advice = adviceOf(16, "thermal-critical", 0);  // no lane may search
    std::stop_source second;
    finished = false;
    auto resumed = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(scheduler->runTask("task-m", seed, 2, upper, 0, second.get_token()), finished);
    ASSERT_TRUE(
        processEventsUntil([&] { return validated.size() >= saved->candidateNonces.size(); }));
    EXPECT_TRUE(std::equal(saved->candidateNonces.begin(), saved->candidateNonces.end(),
                           validated.begin()));
    EXPECT_TRUE(logged("restored=true"));
    scheduler->cancelRun();
    second.request_stop();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
}

TEST_F(SchedulerTest, AOneLaneRunStoppedMidSegmentKeepsItsProgressWithoutAFailure) {
    // 6 M nonces are one processor lane's single segment, searched long enough to be cut off.
    makeScheduler(LaneChunkSizes{});
    installValidator({}, /*rejectAll=*/true);
    currentDifficulty = 16;
    std::stop_source stop;
    bool stopping = false;
    scheduler->setOnLog([&](const QString& category, const QString& message) {
        lines.push_back(category + QStringLiteral(" ") + message);
        if (message.startsWith(QStringLiteral("w#0 claim segment=1 ")) && !stopping) {
            stopping = true;
            // Once the search is under way, the way the engine stops.
            QTimer::singleShot(0, [&] {
                scheduler->cancelRun();
                coordinator.resetValidation();
                stop.request_stop();
            });
        }
    });
    const bool solved =
        runSync(scheduler->runTask("task-1l", "one-lane", 16, 6'000'000, 0, stop.get_token()), 60s);
    EXPECT_FALSE(solved);
    EXPECT_TRUE(logged("workers=1 restored=false"));
    EXPECT_TRUE(logged("CPU w#0 returned [0..<6000000) reason=cancelled"));
    EXPECT_FALSE(logged("validation failed"));
    EXPECT_EQ(coordinator.failedCount(), 0);
    const auto saved = scheduler->stateStore()->load("one-lane");
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->returnedRanges, (std::vector<engine::NonceRange>{{0, 6'000'000}}));
    EXPECT_TRUE(saved->completedRanges.empty());
}

TEST_F(SchedulerTest, ASecondRunWhileOneRunsIsRefused) {
    advice = adviceOf(16, "thermal-critical", 0);  // the first run waits for its budget
    installValidator({}, /*rejectAll=*/true);
    std::stop_source stop;
    bool finished = false;
    auto running = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(scheduler->runTask("first", "first-seed", 2, 40'000, 0, stop.get_token()), finished);
    corvanta::testing::processEventsFor(20ms);
    ASSERT_TRUE(scheduler->isRunning());
    EXPECT_THROW(runSync(scheduler->runTask("second", "second-seed", 2, 40'000, 0, {}), 5s),
                 std::logic_error);
    EXPECT_EQ(scheduler->currentTaskId(), "first");
    EXPECT_FALSE(logged("second-seed"));
    EXPECT_EQ(count("scheduler start"), 1);
    EXPECT_TRUE(scheduler->runsTask("first"));

    scheduler->cancelRun();
    stop.request_stop();
    ASSERT_TRUE(processEventsUntil([&] { return finished; }));
    EXPECT_FALSE(scheduler->isRunning());
}

TEST_F(SchedulerTest, ProgressOfAnotherTaskIsDiscarded) {
    TaskRangeProgress stale;
    stale.taskId = "other-task";
    stale.seed = "shared-seed";
    stale.difficulty = 2;
    stale.upperBound = 5'000;
    stale.nextUnallocated = 2'000;
    stale.completedRanges = {{0, 2'000}};
    scheduler->stateStore()->save(stale);
    installValidator({}, /*rejectAll=*/true);
    advice = adviceOf(2);
    EXPECT_FALSE(runSync(scheduler->runTask("task-4", "shared-seed", 2, 5'000, 0, {}), 60s));
    EXPECT_TRUE(logged("workers=2 restored=false"));
    EXPECT_TRUE(logged("claim segment=1 startNonce=0 endNonce=4000 size=4000"));
    EXPECT_FALSE(scheduler->stateStore()->load("shared-seed").has_value());
}

TEST_F(SchedulerTest, ABlockedBudgetPausesClaimingAndSaysSoSparingly) {
    advice = adviceOf(16, "thermal-critical", 0);
    installValidator({}, /*rejectAll=*/true);
    bool finished = false;
    auto running = [](QCoro::Task<bool> task, bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(scheduler->runTask("task-5", "blocked", 2, 40'000, 0, {}), finished);
    // 200 ms at a hundredth of the intervals: 40 checks, 10 throttle periods of 2 s.
    corvanta::testing::processEventsFor(200ms);
    EXPECT_FALSE(finished);
    EXPECT_TRUE(logged("GPU#0 budget blocked reason=thermal-critical sleep=0.5s"));
    EXPECT_FALSE(logged("claim segment="));
    const int blockedLines = count("budget blocked");
    EXPECT_GE(blockedLines, 2);
    EXPECT_LE(blockedLines, 12);
    EXPECT_TRUE(logged("workers=1 "));

    advice = adviceOf(16);  // the budget opens: the lane gets to work and finishes the range
    ASSERT_TRUE(processEventsUntil([&] { return finished; }, 60s));
    EXPECT_TRUE(logged("claim segment=1 startNonce=0 endNonce=4000"));
}

}  // namespace
}  // namespace corvanta::tasks
