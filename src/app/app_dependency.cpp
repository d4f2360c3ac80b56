#include "app/app_dependency.h"

#include <sys/utsname.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QPointer>
#include <QStandardPaths>

#include <cassert>

#include "async/event_loop_drain.h"
#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/device_repository.h"
#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "engine/system_log.h"
#include "guard/pressure_controller.h"
#include "guard/system_monitor_service.h"
#include "log/log_buffer_service.h"
#include "platform/battery_monitor.h"
#include "platform/open_secret_store.h"
#include "platform/private_directory.h"
#include "platform/sensors/cpu_info_reader.h"
#include "platform/sensors/device_identity_reader.h"
#include "platform/sensors/host_name_reader.h"
#include "platform/sleep_monitor.h"
#include "platform/system_log.h"
#include "tasks/engine_power_policy.h"
#include "tasks/task_orchestrator.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"
#include "update/app_update_manager.h"
#include "update/bundle_app_version_provider.h"
#include "update/index_version_checker.h"

namespace corvanta::app {

QString AppDependency::gpuProgramCacheDirectory() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Corvanta/OpenCL");
}

void AppDependency::applyApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvanta"));
}

void AppDependency::preparePrivateFolders() {
    using platform::makePrivateDirectory;
    // Settings and, without a keyring, the secrets.
    makePrivateDirectory(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                         QCoreApplication::organizationName());
    // The run log and the task progress.
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    makePrivateDirectory(dataHome, QDir(dataHome).relativeFilePath(QStandardPaths::writableLocation(
                                       QStandardPaths::AppDataLocation)));
    // The icon cache.
    makePrivateDirectory(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation),
                         QCoreApplication::organizationName());
}

AppDependency::AppDependency() : AppDependency(Options()) {}

AppDependency::AppDependency(Options options) : options_(std::move(options)) {
    // Before anything writes there, the settings file included.
    preparePrivateFolders();
    settings_ = std::make_unique<QSettings>();
    // The engine has no Qt; its system-log lines go to the compute category.
    engine::setSystemLogSink([](engine::SystemLogLevel level, std::string_view message) {
        const QString text = QString::fromUtf8(message.data(), qsizetype(message.size()));
        if (level == engine::SystemLogLevel::error) {
            qCWarning(platform::computeLog).noquote() << text;
        } else {
            qCInfo(platform::computeLog).noquote() << text;
        }
    });
    logBuffer_ = std::make_unique<log::LogBufferService>(
        std::nullopt, log::LogBufferService::fileSizeLimitFromEnvironment(),
        log::LogBufferService::kDefaultMaxDatabaseFiles, log::LogBufferService::NowProvider(),
        log::LogBufferService::kUiFlushInterval,
        options_.keepsVisibleLogLines ? log::LogBufferService::VisibleLines::kept
                                      : log::LogBufferService::VisibleLines::none);

    backend::TokenManagerOptions secrets;
    secrets.keyAccounts = {backend::legacyKeyName(deviceIdentity().sn).toStdString()};
    secrets.legacy = backend::settingsKeyEntries(*settings_);
    tokenManager_ = std::make_unique<backend::TokenManager>(
        [] {
            return std::shared_ptr<platform::SecretStore>(platform::openSecretStore(
                backend::TokenManager::kService, platform::defaultSecretFilePath(),
                backend::TokenManager::signInAccounts()));
        },
        std::move(secrets));
    apiClient_ = std::make_unique<backend::ApiClient>(*tokenManager_);
    authRepository_ =
        std::make_unique<backend::AuthRepository>(*apiClient_, *tokenManager_, *settings_);
    // The account repository sits below the engine: it reaches it through this callback.
    authRepository_->setStopEngine([this](backend::AuthRepository::EngineStop why) {
        if (!orchestrator_) {
            return;
        }
        if (why == backend::AuthRepository::EngineStop::signInEnded) {
            orchestrator_->signInEnded();
        } else {
            orchestrator_->stop();
        }
    });

    // The machine's power: battery and sleep come over the system bus (DBUS_SYSTEM_BUS_ADDRESS
    // names another one).
    batteryMonitor_ = std::make_unique<platform::BatteryMonitor>(QDBusConnection::systemBus());
    sleepMonitor_ = std::make_unique<platform::SleepMonitor>(QDBusConnection::systemBus());
    guard::SystemMonitorOptions monitorOptions;
    monitorOptions.battery = [&battery = *batteryMonitor_] { return battery.battery(); };
    systemMonitor_ = std::make_unique<guard::SystemMonitorService>(std::move(monitorOptions));
    pressureController_ = std::make_unique<guard::PressureController>(*systemMonitor_);
    validationCoordinator_ = std::make_unique<tasks::ValidationCoordinator>();
    updateManager_ = std::make_unique<update::AppUpdateManager>(
        std::make_unique<update::IndexVersionChecker>(*apiClient_),
        std::make_unique<update::BundleAppVersionProvider>());
}

QCoro::Task<> AppDependency::loadStoredSignIn() {
    QPointer<AppDependency> self(this);
    co_await tokenManager_->load();
    if (self && !storedSignInApplied_) {
        storedSignInApplied_ = true;
        authRepository_->applyStoredSignIn();
    }
}

AppDependency::~AppDependency() {
    windDown();
}

void AppDependency::windDown() {
    if (isWoundDown_) {
        return;
    }
    isWoundDown_ = true;
    if (orchestrator_) {
        orchestrator_->stop();
    }
    // Lanes hand back their segments and a cancelled submission checks its flag every 100 ms,
    // so a quarter second without events means the stopped work has ended.
    async::drainEventLoop(std::chrono::milliseconds(250), std::chrono::seconds(5));
}

tasks::TaskOrchestrator& AppDependency::orchestrator() {
    assert(orchestrator_ != nullptr && "buildEngine() first");
    return *orchestrator_;
}

tasks::EnginePowerPolicy& AppDependency::powerPolicy() {
    assert(powerPolicy_ != nullptr && "buildEngine() first");
    return *powerPolicy_;
}

engine::ComputeEngine& AppDependency::computeEngine() {
    assert(scheduler_ != nullptr && "buildEngine() first");
    return scheduler_->computeEngine();
}

tasks::DeviceIdentity AppDependency::deviceIdentity() {
    tasks::DeviceIdentity identity;
    const platform::DeviceIdentityReader identityReader;
    const auto serial = identityReader.serialNumber();
    identity.sn = serial ? QString::fromStdString(*serial).trimmed() : QString();
    if (identity.sn.isEmpty()) {
        identity.sn = serial ? QString::fromStdString(*serial) : QStringLiteral("—");
    }
    const auto host = platform::HostNameReader().read();
    identity.name = host ? QString::fromStdString(*host) : QStringLiteral("—");
    QString processor;
    if (const auto cpu = platform::CpuInfoReader().read(); cpu.modelName) {
        processor = QString::fromStdString(*cpu.modelName);
    } else {
        utsname system{};
        processor = uname(&system) == 0 ? QString::fromUtf8(system.machine) : QStringLiteral("—");
    }
    identity.cpu = processor.toLower().remove(QLatin1Char(' '));
    return identity;
}

tasks::TaskOrchestrator& AppDependency::buildEngine() {
    if (orchestrator_) {
        return *orchestrator_;
    }
    tasks::TaskSchedulerDependencies schedulerDeps;
    schedulerDeps.coordinator = validationCoordinator_.get();
    schedulerDeps.currentAdvice = [&pressure = *pressureController_] {
        return pressure.currentAdvice();
    };
    schedulerDeps.currentSnapshot = [&monitor = *systemMonitor_] {
        return monitor.currentSnapshot();
    };
    schedulerDeps.stateStore = tasks::TaskScheduler::openDefaultStore();
    schedulerDeps.engineOptions = options_.engine;
    schedulerDeps.counters = &engineCounters_;
    if (const QString cache = gpuProgramCacheDirectory();
        !schedulerDeps.engineOptions.gpuProgramCacheDirectory && !cache.isEmpty()) {
        schedulerDeps.engineOptions.gpuProgramCacheDirectory = cache.toStdString();
    }
    scheduler_ = std::make_unique<tasks::TaskScheduler>(std::move(schedulerDeps));

    orchestratorDevices_ = std::make_unique<backend::DeviceRepository>(*apiClient_);
    tasks::TaskOrchestratorDependencies deps;
    deps.scheduler = scheduler_.get();
    deps.coordinator = validationCoordinator_.get();
    deps.devices = orchestratorDevices_.get();
    deps.verifySignIn = [&auth = *authRepository_] { return auth.verifySignIn(); };
    deps.pressure = pressureController_.get();
    deps.currentSnapshot = [&monitor = *systemMonitor_] { return monitor.currentSnapshot(); };
    deps.isSignedIn = [&auth = *authRepository_] { return auth.isAuthenticated(); };
    deps.restartDelayScale = tasks::RestartBackoff::scaleFromEnvironment();
    deps.deviceIdentity = [] { return deviceIdentity(); };
    deps.loadStoredKey = [&tokens = *tokenManager_](const QString& identity) {
        return backend::loadStoredKey(identity, tokens);
    };
    deps.log = [&logService = *logBuffer_](const QString& deviceId, const QString& category,
                                           const QString& message) {
        logService.append(deviceId, category, message);
    };
    deps.counters = &engineCounters_;
    orchestrator_ = std::make_unique<tasks::TaskOrchestrator>(std::move(deps));
    powerPolicy_ = std::make_unique<tasks::EnginePowerPolicy>(*orchestrator_, *settings_,
                                                              *batteryMonitor_, *sleepMonitor_);
    return *orchestrator_;
}

}  // namespace corvanta::app
