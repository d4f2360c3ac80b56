#pragma once

#include <QCoroTask>
#include <QObject>
#include <QSettings>

#include <memory>

#include "engine/compute_engine.h"

namespace corvanta::backend {
class APIClient;
class AuthRepository;
class DeviceRepository;
class TokenManager;
}  // namespace corvanta::backend
namespace corvanta::guard {
class PressureController;
class SystemMonitorService;
}  // namespace corvanta::guard
namespace corvanta::log {
class LogBufferService;
}
namespace corvanta::tasks {
class TaskOrchestrator;
class TaskScheduler;
class ValidationCoordinator;
struct DeviceIdentity;
}  // namespace corvanta::tasks

namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::app {

// The composition root: builds the long-lived services once, on the main thread, wires them
// together, and hands them to both programs (the window and the headless client).
class AppDependency : public QObject {
    Q_OBJECT

public:
    // Built on first use; a QCoreApplication must exist, and the first call must come from its
    // thread. Owned by the application object.
    static AppDependency& shared();
    ~AppDependency() override;

    // For the end of main(), after exec() has returned: stops the engine and lets every
    // coroutine that was told to stop run to its end while the application object still exists.
    void windDown();

    // Organisation and application names that decide where settings and data live.
    static void applyApplicationNames();

    // Reads the stored sign-in (token and expiry) and lets the account repository decide from
    // it whether the user is signed in. Every path that signs in or restores the sign-in awaits
    // it first; later calls only wait for the read.
    QCoro::Task<> loadStoredSignIn();

    QSettings& settings() { return settings_; }
    backend::TokenManager& tokenManager() { return *tokenManager_; }
    backend::APIClient& apiClient() { return *apiClient_; }
    backend::AuthRepository& authRepository() { return *authRepository_; }
    log::LogBufferService& logBuffer();
    guard::SystemMonitorService& systemMonitor();
    guard::PressureController& pressureController();
    tasks::ValidationCoordinator& validationCoordinator();
    tasks::TaskOrchestrator& orchestrator();
    // The engine the orchestrator's scheduler searches with.
    engine::ComputeEngine& computeEngine();
    update::AppUpdateManager& updateManager();

    // The options of the compute engine the root builds with the orchestrator; the program cache
    // folder is filled in when they leave it empty. Tests use it to hold the GPU build back. Call
    // before the first orchestrator().
    static void setEngineOptions(engine::ComputeEngine::Options options);
    // Where built GPU programs are kept: the cache home's Corvanta/OpenCL; empty without a cache
    // home.
    static QString gpuProgramCacheDirectory();

    // The machine as it registers itself: serial or machine identity, host name, processor.
    static tasks::DeviceIdentity deviceIdentity();

private:
    explicit AppDependency(QObject* parent);
    // The application's folders under the user's config, data and cache homes, readable by
    // this user only (0700), also where an older version left them open.
    static void preparePrivateFolders();

    QSettings settings_;
    bool storedSignInApplied_ = false;
    std::unique_ptr<backend::TokenManager> tokenManager_;
    std::unique_ptr<backend::APIClient> apiClient_;
    std::unique_ptr<backend::AuthRepository> authRepository_;
    // Built on first use, like the services they drive.
    std::unique_ptr<backend::DeviceRepository> orchestratorDevices_;
    std::unique_ptr<tasks::TaskScheduler> scheduler_;
    std::unique_ptr<tasks::TaskOrchestrator> orchestrator_;
};

}  // namespace corvanta::app
