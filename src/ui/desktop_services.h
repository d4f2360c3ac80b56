#pragma once

#include <QCoroTask>

#include <functional>

class QSettings;

namespace corvanta::backend {
class ApiClient;
class AuthRepository;
class TokenManager;
}  // namespace corvanta::backend
namespace corvanta::guard {
class SystemMonitorService;
}
namespace corvanta::log {
class LogBufferService;
}
namespace corvanta::tasks {
class EnginePowerPolicy;
class TaskOrchestrator;
}  // namespace corvanta::tasks
namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::ui {

// The application's long-lived services that the window uses. The composition root owns them
// and keeps them alive for as long as the window exists.
struct DesktopServices {
    QSettings& settings;
    log::LogBufferService& runLog;
    backend::TokenManager& tokens;
    backend::ApiClient& api;
    backend::AuthRepository& auth;
    guard::SystemMonitorService& monitor;
    tasks::TaskOrchestrator& orchestrator;
    update::AppUpdateManager& updates;
    // Reads the stored sign-in once; every way of signing in awaits it first.
    std::function<QCoro::Task<>()> loadStoredSignIn;
    // Sleep and battery: the account page's "Pause on battery".
    tasks::EnginePowerPolicy& power;
};

}  // namespace corvanta::ui
