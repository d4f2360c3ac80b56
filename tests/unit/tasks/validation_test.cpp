#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <vector>

#include "async/cancellable_sleep.h"
#include "support/coro_test_util.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {
namespace {

using namespace std::chrono_literals;
using corvanta::testing::processEventsFor;
using corvanta::testing::processEventsUntil;

// A validator that takes `delay` per call, accepts the nonces in `accept`, and records what it
// was asked and how many calls ran at once.
struct ScriptedValidator {
    std::chrono::milliseconds delay{5};
    std::set<std::uint64_t> accept;
    std::set<std::uint64_t> throwFor;
    std::vector<std::uint64_t> calls;
    int inFlight = 0;
    int maxInFlight = 0;
    int finished = 0;

    Validator make() {
        return [this](std::uint64_t nonce, QString, QString, std::stop_token) -> QCoro::Task<bool> {
            calls.push_back(nonce);
            maxInFlight = std::max(maxInFlight, ++inFlight);
            co_await async::sleepFor(delay, {});
            --inFlight;
            ++finished;
            if (throwFor.contains(nonce)) {
                throw std::runtime_error("backend unreachable");
            }
            co_return accept.contains(nonce);
        };
    }
};

bool idle(const ValidationCoordinator& c) {
    return !c.isVerifying() && c.pendingQueue().empty() && c.currentBatch().empty();
}

TEST(ValidationCoordinator, DropsRepeatsAndRejectsWholeBatchesWithoutAValidator) {
    ValidationCoordinator coordinator;
    coordinator.enqueueCandidates({5, 5, 7}, "t1", "seed");
    EXPECT_EQ(coordinator.pendingCount(), 2);
    EXPECT_EQ(coordinator.currentBatch(), (std::vector<std::uint64_t>{5, 7}));
    coordinator.enqueueCandidates({7, 9}, "t1", "other seed is ignored");
    EXPECT_EQ(coordinator.pendingQueue(), (std::vector<std::uint64_t>{9}));
    EXPECT_EQ(coordinator.pendingCount(), 3);

    ASSERT_TRUE(processEventsUntil([&] { return idle(coordinator); }));
    EXPECT_EQ(coordinator.rejectedCount(), 3);
    EXPECT_EQ(coordinator.pendingCount(), 0);

    // Only nonces seen before: nothing changes, nothing starts.
    coordinator.enqueueCandidates({5, 9}, "t1", "seed");
    EXPECT_FALSE(coordinator.isVerifying());
    EXPECT_EQ(coordinator.rejectedCount(), 3);

    // An empty list for a new task still switches to it.
    const auto generation = coordinator.sessionGeneration();
    coordinator.enqueueCandidates({}, "t2", "seed2");
    EXPECT_EQ(coordinator.currentTaskId(), QString("t2"));
    EXPECT_EQ(coordinator.rejectedCount(), 0);
    EXPECT_GT(coordinator.sessionGeneration(), generation);
    EXPECT_FALSE(coordinator.isVerifying());
    // ... and 5 is new again for that task.
    coordinator.enqueueCandidates({5}, "t2", "seed2");
    EXPECT_EQ(coordinator.pendingCount(), 1);
}

TEST(ValidationCoordinator, FirstAcceptanceSolvesWithAtMostThreeCallsInFlight) {
    ScriptedValidator validator;
    validator.accept = {4};
    ValidationCoordinator coordinator;
    coordinator.setValidator(validator.make());
    std::vector<QString> solved;
    coordinator.setOnTaskSolved([&](const QString& id) { solved.push_back(id); });

    coordinator.enqueueCandidates({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "task", "seed");
    coordinator.enqueueCandidates({11, 12}, "task", "seed");  // queued behind the batch
    ASSERT_TRUE(processEventsUntil([&] { return !solved.empty(); }));
    EXPECT_EQ(solved, (std::vector<QString>{"task"}));
    EXPECT_EQ(coordinator.passedCount(), 1);
    EXPECT_EQ(coordinator.pendingCount(), 0);
    EXPECT_TRUE(coordinator.pendingQueue().empty());
    EXPECT_LE(validator.maxInFlight, 3);
    EXPECT_EQ(validator.maxInFlight, 3);
    // Calls start in batch order and stop soon after the acceptance.
    EXPECT_EQ(std::vector<std::uint64_t>(validator.calls.begin(), validator.calls.begin() + 4),
              (std::vector<std::uint64_t>{1, 2, 3, 4}));
    EXPECT_LE(validator.calls.size(), 6u);
    processEventsFor(30ms);
    EXPECT_EQ(solved.size(), 1u);
    EXPECT_TRUE(std::find(validator.calls.begin(), validator.calls.end(), 11) ==
                validator.calls.end());
}

TEST(ValidationCoordinator, CandidatesArrivingDuringABatchFormTheNextOneTogether) {
    ScriptedValidator validator;
    // Long enough that a busy machine's event loop still sees the second batch in flight.
    validator.delay = 200ms;
    validator.throwFor = {2};  // a failing call counts as a rejection
    ValidationCoordinator coordinator;
    coordinator.setValidator(validator.make());
    coordinator.enqueueCandidates({1, 2}, "task", "seed");
    processEventsFor(5ms);
    EXPECT_TRUE(coordinator.isVerifying());
    coordinator.enqueueCandidates({3}, "task", "seed");
    coordinator.enqueueCandidates({4, 5, 6, 7}, "task", "seed");
    EXPECT_EQ(coordinator.pendingCount(), 7);
    ASSERT_TRUE(processEventsUntil([&] { return coordinator.currentBatch().size() == 5; }));
    EXPECT_EQ(coordinator.currentBatch(), (std::vector<std::uint64_t>{3, 4, 5, 6, 7}));
    EXPECT_EQ(coordinator.rejectedCount(), 2);
    ASSERT_TRUE(processEventsUntil([&] { return idle(coordinator); }));
    EXPECT_EQ(coordinator.rejectedCount(), 7);
    EXPECT_EQ(coordinator.passedCount(), 0);
}

TEST(ValidationCoordinator, AbandonedBatchesChangeNothingWhenTheyFinish) {
    ScriptedValidator validator;
    validator.delay = 30ms;
    validator.accept = {1};
    ValidationCoordinator coordinator;
    coordinator.setValidator(validator.make());
    int solvedCalls = 0;
    coordinator.setOnTaskSolved([&](const QString&) { ++solvedCalls; });

    coordinator.enqueueCandidates({1}, "task", "seed");
    processEventsFor(5ms);
    ASSERT_TRUE(coordinator.isVerifying());
    coordinator.resetValidation();
    EXPECT_FALSE(coordinator.isVerifying());
    EXPECT_EQ(coordinator.currentTaskId(), std::nullopt);
    ASSERT_TRUE(processEventsUntil([&] { return validator.finished == 1; }));
    processEventsFor(10ms);
    EXPECT_EQ(solvedCalls, 0);
    EXPECT_EQ(coordinator.passedCount(), 0);

    // Switching task mid-batch drops the old task's late acceptance too.
    coordinator.enqueueCandidates({1}, "old", "seed");
    processEventsFor(5ms);
    coordinator.enqueueCandidates({2}, "new", "seed");
    ASSERT_TRUE(processEventsUntil([&] { return validator.finished == 3; }));
    processEventsFor(10ms);
    EXPECT_EQ(solvedCalls, 0);
    EXPECT_EQ(coordinator.rejectedCount(), 1);
    EXPECT_EQ(coordinator.currentTaskId(), QString("new"));

    // A batch abandoned before its first call went out never calls the validator: that call
    // would submit a nonce of a task the client has left.
    validator.calls.clear();
    coordinator.enqueueCandidates({10}, "left", "seed");
    coordinator.enqueueCandidates({11}, "taken", "seed");
    ASSERT_TRUE(processEventsUntil([&] { return idle(coordinator); }));
    EXPECT_EQ(validator.calls, (std::vector<std::uint64_t>{11}));

    // The same when the coordinator goes away: no call into an owner that may be gone.
    validator.calls.clear();
    auto doomed = std::make_unique<ValidationCoordinator>();
    doomed->setValidator(validator.make());
    doomed->enqueueCandidates({12}, "task", "seed");
    doomed.reset();
    processEventsFor(20ms);
    EXPECT_TRUE(validator.calls.empty());
}

TEST(ValidationCoordinator, CallsNoLongerWantedAreToldToStopBeforeTheyGoOut) {
    // Nonce 1 is accepted at once; the others wait (as a submission waits out its 5 s) and go
    // out only if nobody stopped them.
    std::vector<std::uint64_t> sent;
    std::vector<std::uint64_t> stopped;
    int running = 0;
    ValidationCoordinator coordinator;
    coordinator.setValidator(
        [&](std::uint64_t nonce, QString, QString, std::stop_token stop) -> QCoro::Task<bool> {
            ++running;
            const bool waited = co_await async::sleepFor(nonce == 1 ? 5ms : 5s, stop);
            --running;
            if (!waited) {
                stopped.push_back(nonce);
                co_return false;
            }
            sent.push_back(nonce);
            co_return nonce == 1;
        });
    int solved = 0;
    coordinator.setOnTaskSolved([&](const QString&) { ++solved; });

    // A sibling's acceptance.
    coordinator.enqueueCandidates({2, 1, 3}, "task", "seed");
    ASSERT_TRUE(processEventsUntil([&] { return solved == 1 && running == 0; }, 3s));
    EXPECT_EQ(sent, (std::vector<std::uint64_t>{1}));
    std::sort(stopped.begin(), stopped.end());
    EXPECT_EQ(stopped, (std::vector<std::uint64_t>{2, 3}));

    // A reset (the engine stops or pauses) and a switch to another task.
    for (const bool reset : {true, false}) {
        sent.clear();
        stopped.clear();
        coordinator.enqueueCandidates({7, 8}, reset ? "left" : "switched", "seed");
        ASSERT_TRUE(processEventsUntil([&] { return running == 2; }, 3s));
        if (reset) {
            coordinator.resetValidation();
        } else {
            coordinator.enqueueCandidates({}, "next", "seed");
        }
        ASSERT_TRUE(processEventsUntil([&] { return running == 0; }, 3s));
        EXPECT_TRUE(sent.empty());
        EXPECT_EQ(stopped.size(), 2u);
    }
}

TEST(ValidationCoordinator, AbandonedCandidatesAreHandedToWhoeverKeepsThem) {
    ScriptedValidator validator;
    validator.delay = 200ms;
    ValidationCoordinator coordinator;
    coordinator.setValidator(validator.make());
    std::vector<std::pair<QString, std::vector<std::uint64_t>>> abandoned;
    coordinator.setOnTaskAbandoned(
        [&](const QString& id, const std::vector<std::uint64_t>& nonces) {
            abandoned.emplace_back(id, nonces);
        });
    coordinator.enqueueCandidates({1, 2}, "task", "seed");
    processEventsFor(5ms);
    coordinator.enqueueCandidates({3}, "task", "seed");
    coordinator.resetValidation();
    ASSERT_EQ(abandoned.size(), 1u);
    EXPECT_EQ(abandoned[0].first, "task");
    EXPECT_EQ(abandoned[0].second, (std::vector<std::uint64_t>{1, 2, 3}));
    // Nothing left to hand over: no report.
    coordinator.resetValidation();
    coordinator.enqueueCandidates({}, "other", "seed");
    EXPECT_EQ(abandoned.size(), 1u);
    ASSERT_TRUE(processEventsUntil([&] { return validator.inFlight == 0; }));
}

TEST(ValidationCoordinator, MarkRangeExhaustedReportsTheFailure) {
    ValidationCoordinator coordinator;
    std::vector<ValidationTaskFailure> reported;
    coordinator.setOnTaskFailed([&](const ValidationTaskFailure& f) { reported.push_back(f); });
    coordinator.enqueueCandidates({1, 2}, "task-9", "seed");
    const auto failure = coordinator.markRangeExhausted("task-9", "seed");
    EXPECT_EQ(failure.logText(),
              QString("❌ validation failed id=task-9 reason=range_exhausted_no_valid_nonce"));
    EXPECT_EQ(coordinator.failedCount(), 1);
    EXPECT_EQ(coordinator.pendingCount(), 0);
    EXPECT_TRUE(idle(coordinator));
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], (ValidationTaskFailure{"task-9", {}}));
    EXPECT_EQ(failureReasonFromRawValue("range_exhausted_no_valid_nonce"),
              ValidationTaskFailureReason::rangeExhaustedNoValidNonce);
    EXPECT_EQ(failureReasonFromRawValue("other"), std::nullopt);
    processEventsFor(10ms);  // the abandoned batch ends without touching the counters
    EXPECT_EQ(coordinator.rejectedCount(), 0);
}

}  // namespace
}  // namespace corvanta::tasks
