#pragma once

#include <QCoroTask>
#include <QObject>
#include <QSettings>

#include <memory>

#include "engine/compute_engine.h"
#include "tasks/engine_counters.h"

namespace corvanta::backend {
class ApiClient;
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
namespace corvanta::platform {
class BatteryMonitor;
class SleepMonitor;
}  // namespace corvanta::platform
namespace corvanta::tasks {
class EnginePowerPolicy;
class TaskOrchestrator;
class TaskScheduler;
class ValidationCoordinator;
struct DeviceIdentity;
}  // namespace corvanta::tasks
namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::app {

// The composition root of both programs. main() builds it on the main thread, after the
// application object and the profile lock; it builds every long-lived service once, in the
// order they depend on one another, owns them, and destroys them in the reverse order. Pages,
// view models and the headless run are handed the few services they use; nothing reaches a
// service any other way.
//
// The engine's services (task database, compute engine, scheduler, orchestrator) are built by
// buildEngine() rather than here, because building the compute engine starts the search for a
// GPU and the build of its program: the window needs them from its first page, the headless
// client only once it is signed in.
class AppDependency : public QObject {
    Q_OBJECT

public:
    struct Options {
        // The compute engine's options; the GPU program cache is filled in when left empty.
        // Tests hold the GPU build back with them.
        engine::ComputeEngine::Options engine;
        // Whether the run log keeps its lines for a view; the headless program has none.
        bool keepsVisibleLogLines = true;
    };

    AppDependency();
    explicit AppDependency(Options options);
    // Winds down first when main() has not.
    ~AppDependency() override;

    AppDependency(const AppDependency&) = delete;
    AppDependency& operator=(const AppDependency&) = delete;

    // Organisation and application names that decide where settings and data live; before the
    // root is built.
    static void applyApplicationNames();

    // For the end of main(), after exec() has returned: stops the engine and lets every
    // coroutine that was told to stop run to its end while the services still exist.
    void windDown();

    // Reads the stored sign-in (token and expiry) and lets the account repository decide from
    // it whether the user is signed in. Every path that signs in or restores the sign-in awaits
    // it first; later calls only wait for the read.
    QCoro::Task<> loadStoredSignIn();

    // Builds the engine's services; later calls return the same orchestrator.
    tasks::TaskOrchestrator& buildEngine();
    bool hasEngine() const { return orchestrator_ != nullptr; }

    QSettings& settings() { return *settings_; }
    log::LogBufferService& logBuffer() { return *logBuffer_; }
    backend::TokenManager& tokenManager() { return *tokenManager_; }
    backend::ApiClient& apiClient() { return *apiClient_; }
    backend::AuthRepository& authRepository() { return *authRepository_; }
    platform::BatteryMonitor& batteryMonitor() { return *batteryMonitor_; }
    platform::SleepMonitor& sleepMonitor() { return *sleepMonitor_; }
    guard::SystemMonitorService& systemMonitor() { return *systemMonitor_; }
    guard::PressureController& pressureController() { return *pressureController_; }
    tasks::ValidationCoordinator& validationCoordinator() { return *validationCoordinator_; }
    update::AppUpdateManager& updateManager() { return *updateManager_; }
    // What the engine has done since the program started; counted from buildEngine() on.
    const tasks::EngineCounters& engineCounters() const { return engineCounters_; }
    // After buildEngine().
    tasks::TaskOrchestrator& orchestrator();
    // Pauses the engine for sleep and battery; after buildEngine().
    tasks::EnginePowerPolicy& powerPolicy();
    // The engine the orchestrator's scheduler searches with; after buildEngine().
    engine::ComputeEngine& computeEngine();

    // Where built GPU programs are kept: the cache home's Corvanta/OpenCL; empty without a cache
    // home.
    static QString gpuProgramCacheDirectory();

    // The machine as it registers itself: serial or machine identity, host name, processor.
    static tasks::DeviceIdentity deviceIdentity();

private:
    // The application's folders under the user's config, data and cache homes, readable by
    // this user only (0700), also where an older version left them open.
    static void preparePrivateFolders();

    Options options_;
    bool storedSignInApplied_ = false;
    bool isWoundDown_ = false;
    // Outlives the engine that counts into it.
    tasks::EngineCounters engineCounters_;
    // In the order they are built; destroyed from the last up.
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<log::LogBufferService> logBuffer_;
    std::unique_ptr<backend::TokenManager> tokenManager_;
    std::unique_ptr<backend::ApiClient> apiClient_;
    std::unique_ptr<backend::AuthRepository> authRepository_;
    std::unique_ptr<platform::BatteryMonitor> batteryMonitor_;
    std::unique_ptr<platform::SleepMonitor> sleepMonitor_;
    std::unique_ptr<guard::SystemMonitorService> systemMonitor_;
    std::unique_ptr<guard::PressureController> pressureController_;
    std::unique_ptr<tasks::ValidationCoordinator> validationCoordinator_;
    std::unique_ptr<update::AppUpdateManager> updateManager_;
    // buildEngine()'s.
    std::unique_ptr<tasks::TaskScheduler> scheduler_;
    std::unique_ptr<backend::DeviceRepository> orchestratorDevices_;
    std::unique_ptr<tasks::TaskOrchestrator> orchestrator_;
    std::unique_ptr<tasks::EnginePowerPolicy> powerPolicy_;
};

}  // namespace corvanta::app
