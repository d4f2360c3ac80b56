#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <thread>
#include <vector>

#include "async/cancellable_sleep.h"
#include "async/engine_search.h"
#include "async/main_thread.h"
#include "async/solved_signal.h"
#include "async/task_group.h"
#include "support/coro_test_util.h"

namespace corvanta::async {
namespace {

using namespace std::chrono_literals;
using corvanta::testing::processEventsUntil;
using corvanta::testing::runSync;

TEST(CancellableSleep, RunsItsCourseOrEndsEarlyOnStop) {
    EXPECT_TRUE(runSync(sleepFor(5ms, {})));

    std::stop_source stop;
    stop.request_stop();
    EXPECT_FALSE(runSync(sleepFor(1h, stop.get_token())));  // already stopped: no wait at all

    std::stop_source later;
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        later.request_stop();  // from another thread
    });
    EXPECT_FALSE(runSync(sleepFor(1h, later.get_token()), 10s));
    stopper.join();
}

QCoro::Task<int> sleepThenReturn(std::chrono::milliseconds delay, int value, std::stop_token stop) {
    const bool full = co_await sleepFor(delay, stop);
    co_return full ? value : -value;
}

TEST(TaskGroup, ResultsComeInFinishingOrderAndCancelReachesEveryChild) {
    auto body = []() -> QCoro::Task<std::vector<int>> {
        TaskGroup<int> group;
        group.spawn([](std::stop_token s) { return sleepThenReturn(60ms, 3, s); });
        group.spawn([](std::stop_token s) { return sleepThenReturn(1ms, 1, s); });
        group.spawn([](std::stop_token s) { return sleepThenReturn(30ms, 2, s); });
        std::vector<int> order;
        for (;;) {
            auto value = co_await group.next();
            if (!value) {
                break;
            }
            order.push_back(*value);
        }
        co_return order;
    };
    EXPECT_EQ(runSync(body()), (std::vector<int>{1, 2, 3}));

    auto cancelled = []() -> QCoro::Task<std::vector<int>> {
        TaskGroup<int> group;
        for (int i = 1; i <= 3; ++i) {
            group.spawn([i](std::stop_token s) { return sleepThenReturn(1h, i, s); });
        }
        group.cancelAll();
        co_await group.waitAll();
        std::vector<int> values;
        for (;;) {
            auto value = co_await group.next();
            if (!value) {
                break;
            }
            values.push_back(*value);
        }
        co_return values;
    };
    auto values = runSync(cancelled(), 10s);
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<int>{-3, -2, -1}));  // every child saw the stop
}

TEST(TaskGroup, ParentStopAndChildExceptionsReachTheOwner) {
    std::stop_source parent;
    auto body = [](std::stop_token token) -> QCoro::Task<int> {
        TaskGroup<int> group(token);
        group.spawn([](std::stop_token s) { return sleepThenReturn(1h, 7, s); });
        auto value = co_await group.next();
        co_return value.value_or(0);
    };
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { parent.request_stop(); }, Qt::QueuedConnection);
    EXPECT_EQ(runSync(body(parent.get_token()), 10s), -7);

    auto throwing = []() -> QCoro::Task<int> {
        TaskGroup<int> group;
        group.spawn([](std::stop_token) -> QCoro::Task<int> {
            co_await yieldToEventLoop();
            throw std::runtime_error("child failed");
        });
        auto value = co_await group.next();
        co_return value.value_or(0);
    };
    EXPECT_THROW(runSync(throwing()), std::runtime_error);
}

TEST(SolvedSignal, BuffersEventsAndWakesItsWaiterOnAnEventAnEndOrAStop) {
    // Events pushed before anyone waits are kept, one per next().
    SolvedSignal buffered;
    buffered.push();
    buffered.push();
    EXPECT_TRUE(runSync(buffered.next({})));
    EXPECT_TRUE(runSync(buffered.next({})));

    // A waiter wakes for an event pushed later, and an end still hands out what was buffered.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { buffered.push(); }, Qt::QueuedConnection);
    EXPECT_TRUE(runSync(buffered.next({}), 10s));
    buffered.push();
    buffered.end();
    buffered.push();  // after the end: dropped
    EXPECT_TRUE(buffered.isEnded());
    EXPECT_TRUE(runSync(buffered.next({})));
    EXPECT_FALSE(runSync(buffered.next({})));

    // A waiter wakes with false when the stream ends or its stop is requested.
    SolvedSignal ended;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { ended.end(); }, Qt::QueuedConnection);
    EXPECT_FALSE(runSync(ended.next({}), 10s));

    SolvedSignal stopped;
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(20ms);
        stop.request_stop();  // from another thread
    });
    EXPECT_FALSE(runSync(stopped.next(stop.get_token()), 10s));
    stopper.join();
    EXPECT_FALSE(stopped.isEnded());
}

TEST(MainThread, BackgroundWorkWaitsForTheMainThreadUnlessItGivesUp) {
    const auto mainId = std::this_thread::get_id();
    std::atomic<bool> ran{false};
    std::atomic<bool> onMain{false};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        const bool result = runOnMainThreadAndWait([&] {
            onMain = std::this_thread::get_id() == mainId;
            ran = true;
        });
        EXPECT_TRUE(result);
        returned = true;
    });
    EXPECT_TRUE(processEventsUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_TRUE(ran.load());
    EXPECT_TRUE(onMain.load());

    // Without the event loop turning, a waiter that gives up returns false and does not hang.
    std::atomic<bool> giveUp{false};
    bool result = true;
    std::thread blocked(
        [&] { result = runOnMainThreadAndWait([] {}, [&] { return giveUp.load(); }); });
    std::this_thread::sleep_for(30ms);
    giveUp = true;
    blocked.join();
    EXPECT_FALSE(result);
    corvanta::testing::processEventsFor(20ms);  // the posted work still runs harmlessly
}

TEST(EngineSearch, CandidatesRunOnTheMainThreadAndAStopCancelsTheSearch) {
    engine::ComputeEngine engine;
    const auto mainId = std::this_thread::get_id();
    std::vector<std::uint64_t> seen;
    bool allOnMain = true;
    auto result = runSync(awaitSearch(
        engine,
        engine::SearchRequest{0, 4096, "abc", 2, engine::ComputeWorkerLaneKind::cpu, std::nullopt},
        [&](std::uint64_t nonce) {
            allOnMain &= std::this_thread::get_id() == mainId;
            seen.push_back(nonce);
        },
        {}));
    EXPECT_FALSE(result.nonces.empty());
    EXPECT_EQ(seen, result.nonces);
    EXPECT_TRUE(allOnMain);

    std::stop_source stop;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { stop.request_stop(); }, Qt::QueuedConnection);
    auto stopped = runSync(
        awaitSearch(engine,
                    engine::SearchRequest{0, std::numeric_limits<std::uint64_t>::max(), "x", 64,
                                          engine::ComputeWorkerLaneKind::cpu, std::nullopt},
                    {}, stop.get_token()),
        10s);
    EXPECT_EQ(stopped.status, engine::ComputeSearchStatus::completed);
    EXPECT_EQ(engine.activeSearchCount(), 0u);
}

TEST(EngineSearch, DestroyingTheEngineWhileACandidateWaitsDoesNotDeadlock) {
    auto engine = std::make_unique<engine::ComputeEngine>();
    int seen = 0;
    // Every nonce is a hit and nothing turns the event loop, so the search thread blocks on the
    // main thread in its first candidate.
    auto search =
        awaitSearch(*engine,
                    engine::SearchRequest{0, 1'000'000, "d", 0, engine::ComputeWorkerLaneKind::cpu,
                                          std::nullopt},
                    [&](std::uint64_t) { ++seen; }, {});
    std::this_thread::sleep_for(20ms);
    engine.reset();  // must return: the waiting hook sees its search cancelled

    bool finished = false;
    auto waiter = [](QCoro::Task<engine::ComputeSearchResult> task,
                     bool& done) -> QCoro::Task<void> {
        co_await std::move(task);
        done = true;
    }(std::move(search), finished);
    EXPECT_TRUE(processEventsUntil([&] { return finished; }));
}

}  // namespace
}  // namespace corvanta::async
