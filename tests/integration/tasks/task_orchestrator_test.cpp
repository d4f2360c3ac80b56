#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "orchestrator_fixture.h"
#include "support/qt_printers.h"
#include "tasks/lane_plan.h"

namespace corvanta::tasks {
namespace {

TEST_F(OrchestratorTest, StartsOnceRegistersAndStopsInOrder) {
    EXPECT_EQ(orchestrator->currentState(), EngineState::idle);
    runSync(orchestrator->start());
    EXPECT_TRUE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), EngineState::running);
    runSync(orchestrator->start());
    EXPECT_GE(indexOf("[DEBUG] start ignored; engine already running"), 0);
    EXPECT_GE(indexOf("? [DEVICE] register sn=SN-1 cpu=cpu"), 0);
    EXPECT_GE(indexOf("[DEVICE] ✅ registration success deviceId="), 0);
    EXPECT_GE(indexOf("[AUTH] key loaded "), 0);
    ASSERT_TRUE(waitForLine("[TASK] fetched id=T1 diff=12 upper=42949672960"));
    ASSERT_TRUE(waitForLine("claim segment=1 "));

    orchestrator->stop();
    orchestrator->stop();  // a second stop does nothing
    EXPECT_FALSE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    ASSERT_TRUE(waitForLine("main loop exited"));
    const auto stopped = indexOf("[TASK_ENGINE] engine stopped");
    const auto cancelled = indexOf("[TASK] ⏸️ search cancelled");
    const auto exited = indexOf("[TASK_ENGINE] main loop exited");
    ASSERT_GE(stopped, 0);
    EXPECT_GT(cancelled, stopped);
    EXPECT_GT(exited, cancelled);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QString& l) { return l.contains("engine stopped"); }),
              1);
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);

    // A second start reuses the device id: no registration is sent.
    const auto registrations = std::count_if(
        lines.begin(), lines.end(), [](const QString& l) { return l.contains("register sn="); });
    runSync(orchestrator->start());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QString& l) { return l.contains("register sn="); }),
              registrations);
    EXPECT_TRUE(orchestrator->progressText().startsWith("task=- diff=0 progress=0/0 (0.00%)"));
}

TEST_F(OrchestratorTest, AStopFollowedAtOnceByAStartLeavesTheNewRunAlone) {
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("claim segment=1 "));
    orchestrator->stop();
    runSync(orchestrator->start());  // the old loop is still winding down
    ASSERT_TRUE(waitForLine("main loop exited"));
    lines.clear();
    ASSERT_TRUE(waitForLine("[TASK] fetched id=T2 "));
    EXPECT_TRUE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), EngineState::running);
    EXPECT_EQ(indexOf("key verification failed"), -1);
}

TEST_F(OrchestratorTest, AStopAbortsAStalledRequestWithoutCallingItAFailure) {
    auto requestsTo = [&](const std::string& path) {
        const auto requests = server->requests();
        return std::count_if(requests.begin(), requests.end(),
                             [&](const auto& request) { return request["path"] == path; });
    };
    // Registration: a stop ends the start at once, and nothing is reported as failed.
    server->addFault({{"path", "/api/device/init"}, {"delayMs", 35000}});
    auto starting = orchestrator->start();
    ASSERT_TRUE(processEventsUntil([&] { return requestsTo("/api/device/init") == 1; }, 10s));
    orchestrator->stop();
    ASSERT_TRUE(processEventsUntil([&] { return starting.isReady(); }, 10s));
    EXPECT_FALSE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    EXPECT_EQ(indexOf("registration failed"), -1);

    // The key check and the task fetch: no failure lines and no retries after the stop.
    for (const std::string path : {"/api/device/checkApiKey", "/api/device/getTask"}) {
        lines.clear();
        server->addFault({{"path", path}, {"delayMs", 35000}});
        const auto before = requestsTo(path);
        runSync(orchestrator->start());
        ASSERT_TRUE(processEventsUntil([&] { return requestsTo(path) == before + 1; }, 10s));
        orchestrator->stop();
        ASSERT_TRUE(waitForLine("main loop exited", 10s)) << path;
        EXPECT_EQ(indexOf("key verification failed"), -1) << path;
        EXPECT_EQ(indexOf("task fetch failed"), -1) << path;
        EXPECT_EQ(requestsTo(path), before + 1) << path;
    }
}

TEST_F(OrchestratorTest, PauseWindsTheLoopDownAndKeepsPaused) {
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("claim segment=1 "));
    orchestrator->pause();
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_GE(indexOf("[TASK_ENGINE] ⏸️ engine paused"), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !orchestrator->isRunning(); }, 30s));
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_GT(indexOf("main loop exited"), indexOf("⏸️ search cancelled"));
    EXPECT_GE(indexOf("⏸️ search cancelled"), 0);
}

TEST_F(OrchestratorTest, PauseOnlyPausesAndResumeOnlyResumes) {
    // An engine that does not run has nothing to pause, nor to resume.
    orchestrator->pause();
    orchestrator->resume();
    EXPECT_EQ(orchestrator->currentState(), EngineState::idle);
    EXPECT_EQ(indexOf("engine paused"), -1);
    EXPECT_EQ(indexOf("engine resumed"), -1);

    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("claim segment=1 "));
    orchestrator->resume();  // not paused
    EXPECT_EQ(indexOf("engine resumed"), -1);
    orchestrator->pause();
    orchestrator->pause();  // already paused: no toggle back
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_EQ(countLines("[TASK_ENGINE] ⏸️ engine paused"), 1);
    EXPECT_EQ(indexOf("engine resumed"), -1);

    // Taken back before the loop has wound down: the abandoned search is no verdict, and the
    // loop goes on with a task.
    orchestrator->resume();
    orchestrator->resume();
    EXPECT_EQ(orchestrator->currentState(), EngineState::running);
    EXPECT_EQ(countLines("[TASK_ENGINE] ▶️ engine resumed"), 1);
    ASSERT_TRUE(processEventsUntil([&] { return countLines("[TASK] fetched id=") == 2; }));
    EXPECT_GE(indexOf("⏸️ search cancelled"), 0);
    EXPECT_TRUE(orchestrator->isRunning());
    EXPECT_EQ(indexOf("main loop exited"), -1);

    EXPECT_EQ(engineStateWord(EngineState::idle), "idle");
    EXPECT_EQ(engineStateWord(EngineState::running), "running");
    EXPECT_EQ(engineStateWord(EngineState::paused), "paused");
    EXPECT_EQ(engineStateWord(EngineState::stopped), "stopped");
    EXPECT_EQ(engineStateWord(EngineState::waitingKey), "waiting_key");
}

TEST_F(OrchestratorTest, ReadsTheTaskReplyAsTheRulesSay) {
    server->addFault({{"path", "/api/device/getTask"},
                      {"body", R"({"code":1,"msg":"ok","data":{"task_id":"X9","begin_time":0,)"
                               R"("seed":"  abc  ","difficulty":3}})"}});
    server->addFault({{"path", "/api/device/pullTask"}, {"code", 0}, {"count", -1}});
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[TASK] fetched id=X9 diff=3 upper=42949672960"));
    // The validator submits, after the (scaled) wait, and the refusal is logged.
    ASSERT_TRUE(waitForLine("[SUBMIT] ❌ pullTask failed id=X9 nonce="));
    EXPECT_GE(indexOf("[SUBMIT] ⏳ wait "), 0);
    EXPECT_LT(indexOf("[SUBMIT] ⏳ wait "), indexOf("📤 pullTask start id=X9"));
    // A refusal is final: each nonce went out once.
    orchestrator->stop();
    ASSERT_TRUE(waitForLine("main loop exited"));
    std::set<QString> nonces;
    const auto submits = requestsTo("/api/device/pullTask");
    for (const auto& request : submits) {
        nonces.insert(form(request).queryItemValue(QStringLiteral("result")));
    }
    EXPECT_FALSE(submits.empty());
    EXPECT_EQ(nonces.size(), submits.size());
    EXPECT_EQ(indexOf("pullTask attempt="), -1);

    EXPECT_EQ(TaskOrchestrator::maskedKey("abcd"), "••••");
    EXPECT_EQ(TaskOrchestrator::maskedKey("abcdef"), "••cdef");
}

class EmptyTaskTest : public OrchestratorTest {
protected:
    EmptyTaskTest() : OrchestratorTest({"--difficulty", "0"}) {}
};

TEST_F(EmptyTaskTest, UnusableRepliesCountAsFetchFailures) {
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("loop stopped", 30s));
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const QString& l) {
                                return l.contains("task response missing seed or difficulty");
                            }),
              3);
    EXPECT_GE(indexOf("[ERROR] ❌ task fetch failed 3 consecutive times; loop stopped"), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !orchestrator->isRunning(); }));
    // The backend may mend its replies: the engine comes back in 30 s.
    EXPECT_EQ(orchestrator->currentState(), EngineState::restarting);
    EXPECT_GE(indexOf("[ENGINE] ⏳ engine restarts in 30s (task fetch failed 3 times)"), 0);
    EXPECT_EQ(orchestrator->restartReason(), "task fetch failed 3 times");
    EXPECT_GT(orchestrator->restartSecondsLeft(), 25);
    EXPECT_LE(orchestrator->restartSecondsLeft(), 30);
}

TEST_F(OrchestratorTest, ASignInThatEndsBetweenTasksStopsTheEngineAndSaysWhy) {
    server->addFault({{"path", "/api/token/check"}, {"code", 401}});
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("main loop exited"));
    const auto reason = indexOf("[AUTH] token unavailable; stopping engine");
    ASSERT_GE(reason, 0);
    EXPECT_LT(reason, indexOf("main loop exited"));
    EXPECT_EQ(countLines("token unavailable; stopping engine"), 1);
    // An ended sign-in is no outage: nothing restarts the engine.
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    EXPECT_EQ(countLines("engine restarts in"), 0);
    EXPECT_EQ(orchestrator->restartRemaining(), 0ms);
    EXPECT_EQ(orchestrator->stopReason(), "token unavailable; stopping engine");
    EXPECT_FALSE(auth->isAuthenticated());
    EXPECT_EQ(indexOf("fetched id="), -1);
}

TEST_F(OrchestratorTest, APauseBetweenTasksRunsNoTaskAndLeavesTheStoredProgress) {
    // Stored progress of the task the (slow) fetch will hand out.
    TaskRangeProgress stored;
    stored.taskId = "P1";
    stored.seed = "pause-seed";
    stored.difficulty = 3;
    stored.upperBound = 300'000;
    stored.nextUnallocated = 100'000;
    stored.completedRanges = {{0, 100'000}};
    stored.candidateNonces = {4'242};
    scheduler->stateStore()->save(stored);
    server->addFault(
        {{"path", "/api/device/getTask"},
         {"delayMs", 1500},
         {"body", R"({"code":1,"msg":"ok","data":{"task_id":"P1","begin_time":0,)"
                  R"("seed":"pause-seed","difficulty":3,"nonce_upper_bound":300000}})"}});
    runSync(orchestrator->start());
    ASSERT_TRUE(processEventsUntil([&] { return !requestsTo("/api/device/getTask").empty(); }));
    orchestrator->pause();
    ASSERT_TRUE(waitForLine("main loop exited"));
    EXPECT_FALSE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_EQ(indexOf("scheduler start"), -1);
    EXPECT_EQ(indexOf("fetched id=P1"), -1);
    EXPECT_TRUE(requestsTo("/api/device/pullTask").empty());
    const auto after = scheduler->stateStore()->load("pause-seed");
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->taskId, stored.taskId);
    EXPECT_EQ(after->nextUnallocated, stored.nextUnallocated);
    EXPECT_EQ(after->completedRanges, stored.completedRanges);
    EXPECT_EQ(after->returnedRanges, stored.returnedRanges);
    EXPECT_EQ(after->claimedRanges, stored.claimedRanges);
    EXPECT_EQ(after->candidateNonces, stored.candidateNonces);
}

// Tasks whose candidates come at once.
class EasyTaskTest : public OrchestratorTest {
protected:
    EasyTaskTest() : OrchestratorTest({"--difficulty", "4"}) {}
};

TEST_F(EasyTaskTest, ASignInCheckFailingBeforeASubmitStopsTheEngineLanesAndAll) {
    // The loop's check passes; the one before the first submission finds no backend.
    server->addFault({{"path", "/api/token/check"}, {"status", 502}, {"after", 1}});
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[AUTH] token invalid before submit; stopping engine"));
    ASSERT_TRUE(waitForLine("main loop exited", 20s));
    EXPECT_FALSE(orchestrator->isRunning());
    // A check that found no backend may pass: a restart is scheduled.
    EXPECT_EQ(orchestrator->currentState(), EngineState::restarting);
    EXPECT_EQ(orchestrator->restartReason(), "sign-in check failed");
    EXPECT_EQ(orchestrator->stopReason(), "token invalid before submit; stopping engine");
    EXPECT_FALSE(scheduler->isRunning());
    // The lanes are gone: nothing is searched after the stop.
    corvanta::testing::processEventsFor(300ms);
    const auto stopped = indexOf("[TASK_ENGINE] engine stopped");
    ASSERT_GT(stopped, indexOf("token invalid before submit"));
    for (std::size_t i = static_cast<std::size_t>(stopped); i < lines.size(); ++i) {
        EXPECT_FALSE(lines[i].contains("] done ") || lines[i].contains("claim segment="))
            << lines[i].toStdString();
    }
    // The engine still signs in: a start takes the restart's place and goes on with the next
    // task.
    lines.clear();
    runSync(orchestrator->start());
    EXPECT_EQ(orchestrator->restartRemaining(), 0ms);
    EXPECT_EQ(orchestrator->restartReason(), "");
    ASSERT_TRUE(waitForLine("[TASK] fetched id=T2 "));
}

TEST_F(EasyTaskTest, ASubmissionWithoutAnAnswerIsSentAgainWithTheSameNonce) {
    server->addFault({{"path", "/api/device/pullTask"}, {"status", 502}, {"count", 2}});
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[TASK] ✅ verified id=T1"));
    const auto submits = requestsTo("/api/device/pullTask");
    ASSERT_GE(submits.size(), 3u);
    // The first faulted nonce went again until the server answered.
    const QString nonce = form(submits.front()).queryItemValue(QStringLiteral("result"));
    EXPECT_GE(std::count_if(submits.begin(), submits.end(),
                            [&](const auto& r) {
                                return form(r).queryItemValue(QStringLiteral("result")) == nonce;
                            }),
              2);
    EXPECT_GE(indexOf("[SUBMIT] ⚠️ pullTask attempt=1/3 failed id=T1 nonce=" + nonce + " "), 0);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const QString& l) {
                                return l.endsWith("📤 pullTask start id=T1 nonce=" + nonce);
                            }),
              1);
    EXPECT_EQ(indexOf("❌ pullTask failed id=T1 nonce=" + nonce + " "), -1);
}

// Real 5-second submit waits.
class RealWaitTest : public OrchestratorTest {
protected:
    RealWaitTest() : OrchestratorTest({"--difficulty", "4"}, 1.0) {}
};

TEST_F(RealWaitTest, ASubmissionWaitingWhenTheEngineStopsIsNeverSent) {
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[SUBMIT] ⏳ wait "));
    // Stopped and started again at once, while the submission of T1 waits out its 5 s.
    orchestrator->stop();
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[TASK] fetched id=T2 ", 20s));
    corvanta::testing::processEventsFor(6s);
    for (const auto& request : requestsTo("/api/device/pullTask")) {
        EXPECT_NE(form(request).queryItemValue(QStringLiteral("task_id")), "T1")
            << request["body"].get<std::string>();
    }
    EXPECT_EQ(indexOf("pullTask start id=T1"), -1);
}

// Easy tasks, and a restart back-off a hundred times shorter (0.3 s, 0.6 s, ...).
class RecoveryTest : public OrchestratorTest {
protected:
    RecoveryTest() : OrchestratorTest({"--difficulty", "4"}, 0.01, 0.01) {}

    // Waits until the engine has scheduled its restart number `count` since the last accepted
    // task.
    bool waitForRestartNumber(int count) {
        return processEventsUntil(
            [&] {
                return orchestrator->currentState() == EngineState::restarting &&
                       orchestrator->consecutiveRestarts() == count;
            },
            30s);
    }
};

TEST_F(RecoveryTest, AnOutageOfTheSignInCheckEndsInARestartThatSolvesTheNextTask) {
    // The sign-in succeeded; then the backend answers every check with 502 until it is mended.
    server->addFault({{"path", "/api/token/check"}, {"status", 502}, {"count", -1}});
    int countdownTicks = 0;
    QObject::connect(orchestrator.get(), &TaskOrchestrator::restartCountdownChanged,
                     [&] { ++countdownTicks; });
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForRestartNumber(1));
    EXPECT_GE(indexOf("[AUTH] token unavailable; stopping engine"), 0);
    EXPECT_GE(indexOf("[ENGINE] ⏳ engine restarts in 1s (sign-in check failed)"), 0);
    EXPECT_EQ(orchestrator->restartReason(), "sign-in check failed");
    EXPECT_GT(orchestrator->restartRemaining(), 0ms);
    EXPECT_LE(orchestrator->restartRemaining(), 300ms);
    EXPECT_TRUE(auth->isAuthenticated());

    // Still down: the engine starts again, fails again, and waits twice as long.
    ASSERT_TRUE(waitForRestartNumber(2));
    EXPECT_GT(orchestrator->restartRemaining(), 300ms);
    EXPECT_LE(orchestrator->restartRemaining(), 600ms);
    EXPECT_GE(countLines("[TASK_ENGINE] engine started"), 2);
    EXPECT_GE(countdownTicks, 2);

    // Mended: the next start solves a task, and the back-off begins again.
    server->clearFaults();
    ASSERT_TRUE(waitForLine("[TASK] ✅ verified id=T1", 30s));
    EXPECT_EQ(orchestrator->currentState(), EngineState::running);
    EXPECT_EQ(orchestrator->consecutiveRestarts(), 0);
    EXPECT_EQ(orchestrator->restartReason(), "");
    EXPECT_EQ(orchestrator->stopReason(), "");

    // The next outage starts at the first delay again.
    server->addFault({{"path", "/api/token/check"}, {"status", 503}, {"count", -1}});
    ASSERT_TRUE(waitForRestartNumber(1));
    EXPECT_LE(orchestrator->restartRemaining(), 300ms);
}

TEST_F(RecoveryTest, KeyAndRegistrationFailuresRestartOnlyWhenTheyMayPass) {
    // A registration the backend cannot answer now is tried again.
    server->addFault({{"path", "/api/device/init"}, {"status", 500}});
    runSync(orchestrator->start());
    EXPECT_EQ(orchestrator->currentState(), EngineState::restarting);
    EXPECT_EQ(orchestrator->restartReason(), "registration failed");
    ASSERT_TRUE(waitForLine("[DEVICE] ✅ registration success"));
    ASSERT_TRUE(waitForLine("[TASK] ✅ verified id=T1", 30s));

    // A key check the backend cannot answer now: three attempts, then a restart.
    server->addFault({{"path", "/api/device/checkApiKey"}, {"status", 503}, {"count", 3}});
    ASSERT_TRUE(waitForRestartNumber(1));
    EXPECT_EQ(orchestrator->restartReason(), "key check failed");
    lines.clear();
    ASSERT_TRUE(waitForLine("[TASK] ✅ verified id=", 30s));

    // A key the backend refuses stays refused: the engine stays stopped.
    server->addFault({{"path", "/api/device/checkApiKey"}, {"code", 0}, {"count", -1}});
    ASSERT_TRUE(waitForLine("[ERROR] ❌ key verification failed", 30s));
    ASSERT_TRUE(processEventsUntil([&] { return !orchestrator->isRunning(); }));
    corvanta::testing::processEventsFor(500ms);
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    EXPECT_EQ(countLines("engine restarts in"), 0);
}

TEST_F(RecoveryTest, APauseOrStopDuringTheCountdownCallsTheRestartOff) {
    server->addFault({{"path", "/api/device/getTask"}, {"status", 502}, {"count", -1}});
    // The user acts the moment the countdown begins.
    bool pauseNext = true;
    QObject::connect(orchestrator.get(), &TaskOrchestrator::currentStateChanged, [&] {
        if (orchestrator->currentState() == EngineState::restarting) {
            if (pauseNext) {
                orchestrator->pause();
            } else {
                orchestrator->stop();
            }
        }
    });
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("engine restarts in"));
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_EQ(orchestrator->restartRemaining(), 0ms);
    // Well past the restart's time: nothing started.
    corvanta::testing::processEventsFor(1s);
    EXPECT_EQ(countLines("[TASK_ENGINE] engine started"), 1);
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);

    pauseNext = false;
    runSync(orchestrator->start());
    ASSERT_TRUE(processEventsUntil([&] { return countLines("engine restarts in") == 2; }));
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    corvanta::testing::processEventsFor(1s);
    EXPECT_EQ(countLines("[TASK_ENGINE] engine started"), 2);
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);

    // A sign-out during the countdown ends it as well.
    QObject::disconnect(orchestrator.get(), &TaskOrchestrator::currentStateChanged, nullptr,
                        nullptr);
    runSync(orchestrator->start());
    ASSERT_TRUE(processEventsUntil([&] { return countLines("engine restarts in") == 3; }));
    auth->signOut();
    EXPECT_EQ(orchestrator->currentState(), EngineState::stopped);
    corvanta::testing::processEventsFor(1s);
    EXPECT_EQ(countLines("[TASK_ENGINE] engine started"), 3);
}

}  // namespace
}  // namespace corvanta::tasks
