#include "ui/app_shell_view_model.h"

#include <algorithm>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <QCoroTask>

#include "app/app_dependency.h"
#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/token_manager.h"
#include "guard/system_monitor_service.h"
#include "log/log_buffer_service.h"
#include "platform/string_table.h"
#include "tasks/task_orchestrator.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {

AppShellViewModel::AppShellViewModel(app::AppDependency& deps, QString headingFont,
                                     bool systemIsDark, QObject* parent)
    : QObject(parent),
      deps_(deps),
      headingFont_(std::move(headingFont)),
      logout_([&deps] { deps.authRepository().signOut(); }) {
    isDark_ = isDarkTheme(deps_.settings()
                              .value(QStringLiteral("app_theme"), QStringLiteral("theme_light"))
                              .toString(),
                          systemIsDark);
    connect(&deps_.authRepository(), &backend::AuthRepository::isAuthenticatedChanged, this,
            [this] { authenticationChanged(true); });
    connect(&deps_.updateManager(), &update::AppUpdateManager::availableUpdateChanged, this,
            &AppShellViewModel::contentSizeChanged);
    auto& orchestrator = deps_.orchestrator();
    connect(&orchestrator, &tasks::TaskOrchestrator::isRunningChanged, this, [this] {
        if (deps_.orchestrator().isRunning()) {
            lastReply_ = LastBackendReply::none;
        }
        updateConnectionStatus();
    });
    connect(&orchestrator, &tasks::TaskOrchestrator::currentStateChanged, this,
            &AppShellViewModel::updateConnectionStatus);
    // Every backend transfer ends here: an HTTP status means the backend answered, whatever it
    // said; no status means it was not reached.
    connect(&deps_.apiClient().network(), &QNetworkAccessManager::finished, this,
            [this](QNetworkReply* reply) {
                const bool answered =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
                if (!answered && reply->error() == QNetworkReply::OperationCanceledError) {
                    return;  // a stop, not a verdict on the connection
                }
                lastReply_ = answered ? LastBackendReply::answered : LastBackendReply::failed;
                updateConnectionStatus();
            });
}

QSize AppShellViewModel::contentSizeFor(bool signedIn, bool updatePending) {
    return signedIn || updatePending ? QSize(1280, 720) : QSize(520, 420);
}

QRect AppShellViewModel::windowGeometryFor(QSize content, QRect available, QMargins frame) {
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    const QSize size(std::max(std::min(content.width(), available.width() - frameWidth), 1),
                     std::max(std::min(content.height(), available.height() - frameHeight), 1));
    const int x = available.x() + std::max((available.width() - size.width() - frameWidth) / 2, 0);
    const int y =
        available.y() + std::max((available.height() - size.height() - frameHeight) / 2, 0);
    return QRect(QPoint(x + frame.left(), y + frame.top()), size);
}

QRect AppShellViewModel::fittedWindowGeometry(QWindow* window) const {
    QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        return QRect(QPoint(0, 0), contentSize());
    }
    return windowGeometryFor(contentSize(), screen->availableGeometry(), window->frameMargins());
}

bool AppShellViewModel::isDarkTheme(const QString& theme, bool systemIsDark) {
    if (theme == QLatin1String("theme_dark")) {
        return true;
    }
    if (theme == QLatin1String("theme_system")) {
        return systemIsDark;
    }
    return false;
}

bool AppShellViewModel::isAuthenticated() const {
    return deps_.authRepository().isAuthenticated();
}

QSize AppShellViewModel::contentSize() const {
    return contentSizeFor(isAuthenticated(), deps_.updateManager().hasUpdate());
}

QStringList AppShellViewModel::modules() const {
    return {QStringLiteral("dashboard"), QStringLiteral("device_info"), QStringLiteral("run_log"),
            QStringLiteral("account_info")};
}

void AppShellViewModel::setSelectedModule(const QString& module) {
    if (module != selectedModule_ && modules().contains(module)) {
        selectedModule_ = module;
        emit selectedModuleChanged();
    }
}

QString AppShellViewModel::text(const QString& key) const {
    return platform::localized(key);
}

void AppShellViewModel::windowShown() {
    if (didAttemptSessionRestore_) {
        return;
    }
    didAttemptSessionRestore_ = true;
    deps_.updateManager().startAutoCheck();
    [[maybe_unused]] auto restoring = [](AppShellViewModel* self) -> QCoro::Task<> {
        QPointer<AppShellViewModel> alive(self);
        auto& deps = self->deps_;
        co_await deps.loadStoredSignIn();
        co_await deps.authRepository().restoreSignIn();
        if (alive) {
            // restoreSignIn notifies a change itself; this covers a start that stays signed out.
            alive->authenticationChanged(false);
        }
    }(this);
}

void AppShellViewModel::authenticationChanged(bool changed) {
    emit contentSizeChanged();
    updateConnectionStatus();
    if (changed) {
        emit isAuthenticatedChanged();
    }
    if (isAuthenticated()) {
        if (!didStartAuthenticatedServices_) {
            didStartAuthenticatedServices_ = true;
            deps_.systemMonitor().start();
            // The task ends on its own; dropping it does not cancel it.
            [[maybe_unused]] auto running = deps_.orchestrator().start();
        }
        if (changed) {
            deps_.updateManager().startAutoCheck();
        }
        return;
    }
    logout_.disarm();
    didStartAuthenticatedServices_ = false;
    releaseEngine();
    auto& monitor = deps_.systemMonitor();
    monitor.releaseStart();
    if (monitor.startCount() == 0) {
        monitor.stop();
    }
}

void AppShellViewModel::releaseEngine() {
    auto& orchestrator = deps_.orchestrator();
    orchestrator.stop();
    orchestrator.setCorvantaKey(QString());
    orchestrator.setDeviceId(0);
    deps_.logBuffer().append(QStringLiteral("?"), QStringLiteral("AUTH"),
                             QStringLiteral("key released"));
}

void AppShellViewModel::shutdown() {
    releaseEngine();
    auto& monitor = deps_.systemMonitor();
    while (monitor.startCount() > 0) {
        monitor.releaseStart();
    }
    monitor.stop();
    deps_.updateManager().stopAutoCheck();
}

void AppShellViewModel::updateConnectionStatus() {
    const auto& orchestrator = deps_.orchestrator();
    const QString status = connectionStatusFor(isAuthenticated(), orchestrator.isRunning(),
                                               orchestrator.currentState(), lastReply_);
    if (status != connectionStatus_) {
        connectionStatus_ = status;
        emit connectionStatusChanged();
    }
}

}  // namespace corvanta::ui
