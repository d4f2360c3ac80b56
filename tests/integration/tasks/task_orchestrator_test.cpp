#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <memory>

#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/device_repository.h"
#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "support/qt_printers.h"
#include "tasks/lane_plan.h"
#include "tasks/task_orchestrator.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {
namespace {

using namespace std::chrono_literals;
using corvanta::testing::processEventsUntil;
using corvanta::testing::runSync;

// The orchestrator on the real client stack, a real scheduler and task database, against a
// devserver of its own; waits are scaled down a hundredfold.
class OrchestratorTest : public ::testing::Test {
protected:
    explicit OrchestratorTest(QStringList serverArguments = {"--difficulty", "12"}) {
        server = std::make_unique<corvanta::testing::DevServerProcess>(serverArguments);
        qputenv("CORVANTA_API_BASE_URL", server->url().toUtf8());
        tokens = std::make_unique<backend::TokenManager>([store = store] { return store; });
        runSync(tokens->load());
        client = std::make_unique<backend::APIClient>(*tokens);
        auth = std::make_unique<backend::AuthRepository>(*client, *tokens, settings, settings);
        devices = std::make_unique<backend::DeviceRepository>(*client);
        runSync(auth->login(server->demoKey()));

        TaskSchedulerDependencies schedulerDeps;
        schedulerDeps.coordinator = &coordinator;
        schedulerDeps.currentAdvice = [] { return guard::PressureAdvice{}; };
        schedulerDeps.stateStore = std::make_unique<TaskStateStore>(dir.path());
        schedulerDeps.timing.intervalScale = 0.01;
        scheduler = std::make_unique<TaskScheduler>(std::move(schedulerDeps));

        TaskOrchestratorDependencies deps;
        deps.scheduler = scheduler.get();
        deps.coordinator = &coordinator;
        deps.devices = devices.get();
        deps.verifySignIn = [this] { return auth->verifySignIn(); };
        deps.deviceIdentity = [] { return DeviceIdentity{"SN-1", "host", "cpu"}; };
        deps.loadStoredKey = [this](const QString& identity) {
            return backend::loadStoredKey(identity, settings);
        };
        deps.log = [this](const QString& deviceId, const QString& category,
                          const QString& message) {
            lines.push_back(QStringLiteral("%1 [%2] %3").arg(deviceId, category, message));
            if (message == QLatin1String("main loop started")) {
                ++loopsStarted;
            } else if (message == QLatin1String("main loop exited")) {
                ++loopsExited;
            }
        };
        deps.intervalScale = 0.01;
        orchestrator = std::make_unique<TaskOrchestrator>(std::move(deps));
        auth->setStopEngine([this] { orchestrator->stop(); });
    }

    ~OrchestratorTest() override {
        orchestrator->stop();
        // Every loop winds down to its end: one left suspended would outlive the objects it
        // works on.
        processEventsUntil([this] { return loopsExited == loopsStarted; }, 30s);
        corvanta::testing::processEventsFor(50ms);
    }

    qsizetype indexOf(const QString& needle) const {
        for (qsizetype i = 0; i < static_cast<qsizetype>(lines.size()); ++i) {
            if (lines[i].contains(needle)) {
                return i;
            }
        }
        return -1;
    }
    bool waitForLine(const QString& needle, std::chrono::milliseconds limit = 30s) {
        return processEventsUntil([&] { return indexOf(needle) >= 0; }, limit);
    }

    std::unique_ptr<corvanta::testing::DevServerProcess> server;
    std::shared_ptr<platform::MemorySecretStore> store =
        std::make_shared<platform::MemorySecretStore>();
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    std::unique_ptr<backend::TokenManager> tokens;
    std::unique_ptr<backend::APIClient> client;
    std::unique_ptr<backend::AuthRepository> auth;
    std::unique_ptr<backend::DeviceRepository> devices;
    ValidationCoordinator coordinator;
    std::unique_ptr<TaskScheduler> scheduler;
    std::unique_ptr<TaskOrchestrator> orchestrator;
    std::vector<QString> lines;
    int loopsStarted = 0;
    int loopsExited = 0;
};

TEST_F(OrchestratorTest, StartsOnceRegistersAndStopsInOrder) {
    EXPECT_EQ(orchestrator->currentState(), "idle");
    runSync(orchestrator->start());
    EXPECT_TRUE(orchestrator->isRunning());
    EXPECT_EQ(orchestrator->currentState(), "running");
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
    EXPECT_EQ(orchestrator->currentState(), "stopped");
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
    EXPECT_EQ(orchestrator->currentState(), "stopped");

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
    EXPECT_EQ(orchestrator->currentState(), "running");
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
    EXPECT_EQ(orchestrator->currentState(), "stopped");
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
    EXPECT_EQ(orchestrator->currentState(), "paused");
    EXPECT_GE(indexOf("[TASK_ENGINE] ⏸️ engine paused"), 0);
    ASSERT_TRUE(processEventsUntil([&] { return !orchestrator->isRunning(); }, 30s));
    EXPECT_EQ(orchestrator->currentState(), "paused");
    EXPECT_GT(indexOf("main loop exited"), indexOf("⏸️ search cancelled"));
    EXPECT_GE(indexOf("⏸️ search cancelled"), 0);
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

    EXPECT_EQ(TaskOrchestrator::maskedKey("abcd"), "abcd");
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
    EXPECT_EQ(orchestrator->currentState(), "stopped");
}

}  // namespace
}  // namespace corvanta::tasks
