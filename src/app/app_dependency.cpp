#include "app/app_dependency.h"

#include <sys/utsname.h>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QStandardPaths>
#include <QThread>

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
#include "platform/open_secret_store.h"
#include "platform/private_directory.h"
#include "platform/sensors/cpu_info_reader.h"
#include "platform/sensors/device_identity_reader.h"
#include "platform/sensors/host_name_reader.h"
#include "platform/system_log.h"
#include "tasks/task_orchestrator.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"
#include "update/app_update_manager.h"

namespace corvanta::app {

namespace {

engine::ComputeEngine::Options& engineOptions() {
    static engine::ComputeEngine::Options options;
    return options;
}

}  // namespace

void AppDependency::setEngineOptions(engine::ComputeEngine::Options options) {
    engineOptions() = std::move(options);
}

QString AppDependency::gpuProgramCacheDirectory() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Corvanta/OpenCL");
}

void AppDependency::applyApplicationNames() {
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvanta"));
}

AppDependency& AppDependency::shared() {
    static AppDependency* instance = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        assert(QCoreApplication::instance() != nullptr);
        assert(QThread::currentThread() == QCoreApplication::instance()->thread());
        // Parent-owned: destroyed with the application object.
        instance = new AppDependency(QCoreApplication::instance());
    });
    return *instance;
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

AppDependency::AppDependency(QObject* parent) : QObject(parent) {
    // Before anything writes there, the settings file included.
    preparePrivateFolders();
    backend::TokenManagerOptions secrets;
    secrets.keyAccounts = {backend::legacyKeyName(deviceIdentity().sn).toStdString()};
    secrets.legacy = backend::settingsKeyEntries(settings_);
    tokenManager_ = std::make_unique<backend::TokenManager>(
        [] {
            return std::shared_ptr<platform::SecretStore>(platform::openSecretStore(
                backend::TokenManager::kService, platform::defaultSecretFilePath(),
                backend::TokenManager::signInAccounts()));
        },
        std::move(secrets));
    apiClient_ = std::make_unique<backend::APIClient>(*tokenManager_);
    authRepository_ =
        std::make_unique<backend::AuthRepository>(*apiClient_, *tokenManager_, settings_);
    // The engine has no Qt; its system-log lines go to the compute category.
    engine::setSystemLogSink([](engine::SystemLogLevel level, std::string_view message) {
        const QString text = QString::fromUtf8(message.data(), qsizetype(message.size()));
        if (level == engine::SystemLogLevel::error) {
            qCWarning(platform::computeLog).noquote() << text;
        } else {
            qCInfo(platform::computeLog).noquote() << text;
        }
    });
    update::AppUpdateManager::setSharedClientProvider(
        [this]() -> backend::APIClient& { return *apiClient_; });
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
    if (orchestrator_) {
        orchestrator_->stop();
    }
}

void AppDependency::windDown() {
    if (orchestrator_) {
        orchestrator_->stop();
    }
    // Lanes hand back their segments and a cancelled submission checks its flag every 100 ms,
    // so a quarter second without events means the stopped work has ended.
    async::drainEventLoop(std::chrono::milliseconds(250), std::chrono::seconds(5));
}

log::LogBufferService& AppDependency::logBuffer() {
    return log::LogBufferService::shared();
}

guard::SystemMonitorService& AppDependency::systemMonitor() {
    return guard::SystemMonitorService::shared();
}

guard::PressureController& AppDependency::pressureController() {
    return guard::PressureController::shared();
}

engine::ComputeEngine& AppDependency::computeEngine() {
    orchestrator();
    return scheduler_->computeEngine();
}

update::AppUpdateManager& AppDependency::updateManager() {
    return update::AppUpdateManager::shared();
}

tasks::ValidationCoordinator& AppDependency::validationCoordinator() {
    return tasks::ValidationCoordinator::shared();
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

tasks::TaskOrchestrator& AppDependency::orchestrator() {
    if (orchestrator_) {
        return *orchestrator_;
    }
    auto& pressure = pressureController();
    auto& monitor = systemMonitor();
    auto& coordinator = validationCoordinator();
    auto& logService = logBuffer();

    tasks::TaskSchedulerDependencies schedulerDeps;
    schedulerDeps.coordinator = &coordinator;
    schedulerDeps.currentAdvice = [&pressure] { return pressure.currentAdvice(); };
    schedulerDeps.currentSnapshot = [&monitor] { return monitor.currentSnapshot(); };
    schedulerDeps.stateStore = tasks::TaskScheduler::openDefaultStore();
    schedulerDeps.engineOptions = engineOptions();
    if (const QString cache = gpuProgramCacheDirectory();
        !schedulerDeps.engineOptions.gpuProgramCacheDirectory && !cache.isEmpty()) {
        schedulerDeps.engineOptions.gpuProgramCacheDirectory = cache.toStdString();
    }
    scheduler_ = std::make_unique<tasks::TaskScheduler>(std::move(schedulerDeps));

    orchestratorDevices_ = std::make_unique<backend::DeviceRepository>(*apiClient_);
    tasks::TaskOrchestratorDependencies deps;
    deps.scheduler = scheduler_.get();
    deps.coordinator = &coordinator;
    deps.devices = orchestratorDevices_.get();
    deps.verifySignIn = [this]() { return authRepository_->verifySignIn(); };
    deps.pressure = &pressure;
    deps.currentSnapshot = [&monitor] { return monitor.currentSnapshot(); };
    deps.deviceIdentity = [] { return deviceIdentity(); };
    deps.loadStoredKey = [this](const QString& identity) {
        return backend::loadStoredKey(identity, *tokenManager_);
    };
    deps.log = [&logService](const QString& deviceId, const QString& category,
                             const QString& message) {
        logService.append(deviceId, category, message);
    };
    orchestrator_ = std::make_unique<tasks::TaskOrchestrator>(std::move(deps));
    return *orchestrator_;
}

}  // namespace corvanta::app
