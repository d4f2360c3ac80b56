#pragma once

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <algorithm>
#include <memory>
#include <vector>

#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/device_repository.h"
#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "tasks/task_orchestrator.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {

using namespace std::chrono_literals;
using corvanta::testing::processEventsUntil;
using corvanta::testing::runSync;

// The orchestrator on the real client stack, a real scheduler and task database, against a
// devserver of its own; waits are scaled down a hundredfold, the restart back-off only when a
// test asks.
class OrchestratorTest : public ::testing::Test {
protected:
    explicit OrchestratorTest(QStringList serverArguments = {"--difficulty", "12"},
                              double intervalScale = 0.01, double restartDelayScale = 1.0) {
        server = std::make_unique<corvanta::testing::DevServerProcess>(serverArguments);
        qputenv("CORVANTA_API_BASE_URL", server->url().toUtf8());
        tokens = std::make_unique<backend::TokenManager>([store = store] { return store; });
        runSync(tokens->load());
        client = std::make_unique<backend::ApiClient>(*tokens);
        auth = std::make_unique<backend::AuthRepository>(*client, *tokens, settings);
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
            return backend::loadStoredKey(identity, *tokens);
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
        deps.intervalScale = intervalScale;
        deps.isSignedIn = [this] { return auth->isAuthenticated(); };
        deps.restartDelayScale = restartDelayScale;
        deps.unitRandom = [] { return 0.0; };
        orchestrator = std::make_unique<TaskOrchestrator>(std::move(deps));
        auth->setStopEngine([this](backend::AuthRepository::EngineStop why) {
            if (why == backend::AuthRepository::EngineStop::signInEnded) {
                orchestrator->signInEnded();
            } else {
                orchestrator->stop();
            }
        });
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
    int countLines(const QString& needle) const {
        return static_cast<int>(std::count_if(
            lines.begin(), lines.end(), [&](const QString& l) { return l.contains(needle); }));
    }
    // The server's journal entries for `path`, oldest first.
    std::vector<nlohmann::json> requestsTo(const std::string& path) {
        std::vector<nlohmann::json> found;
        for (const auto& request : server->requests()) {
            if (request["path"] == path) {
                found.push_back(request);
            }
        }
        return found;
    }
    // The form fields of a journal entry.
    static QUrlQuery form(const nlohmann::json& request) {
        return QUrlQuery(QString::fromStdString(request["body"].get<std::string>()));
    }

    std::unique_ptr<corvanta::testing::DevServerProcess> server;
    std::shared_ptr<platform::MemorySecretStore> store =
        std::make_shared<platform::MemorySecretStore>();
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    std::unique_ptr<backend::TokenManager> tokens;
    std::unique_ptr<backend::ApiClient> client;
    std::unique_ptr<backend::AuthRepository> auth;
    std::unique_ptr<backend::DeviceRepository> devices;
    ValidationCoordinator coordinator;
    std::unique_ptr<TaskScheduler> scheduler;
    std::unique_ptr<TaskOrchestrator> orchestrator;
    std::vector<QString> lines;
    int loopsStarted = 0;
    int loopsExited = 0;
};

}  // namespace corvanta::tasks
