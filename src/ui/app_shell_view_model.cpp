#include "ui/app_shell_view_model.h"

#include <algorithm>

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QScreen>
#include <QWindow>

#include <QCoroTask>

#include "backend/auth_repository.h"
#include "guard/system_monitor_service.h"
#include "log/log_buffer_service.h"
#include "log/log_tag.h"
#include "platform/string_table.h"
#include "tasks/task_orchestrator.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {

AppShellViewModel::AppShellViewModel(Services services, const QString& theme, QString headingFont,
                                     bool systemIsDark, QObject* parent)
    : QObject(parent),
      auth_(services.auth),
      orchestrator_(services.orchestrator),
      updates_(services.updates),
      monitor_(services.monitor),
      runLog_(services.runLog),
      loadStoredSignIn_(std::move(services.loadStoredSignIn)),
      headingFont_(std::move(headingFont)),
      theme_(theme),
      isDark_(isDarkTheme(theme, systemIsDark)),
      logout_([&auth = services.auth] { auth.signOut(); }) {
    connect(&auth_, &backend::AuthRepository::isAuthenticatedChanged, this,
            [this] { authenticationChanged(true); });
    connect(&updates_, &update::AppUpdateManager::availableUpdateChanged, this,
            &AppShellViewModel::contentSizeChanged);
    connect(&orchestrator_, &tasks::TaskOrchestrator::isRunningChanged, this, [this] {
        if (orchestrator_.isRunning()) {
            lastReply_ = LastBackendReply::none;
        }
        updateConnectionStatus();
    });
    connect(&orchestrator_, &tasks::TaskOrchestrator::currentStateChanged, this,
            &AppShellViewModel::updateConnectionStatus);
    connect(&orchestrator_, &tasks::TaskOrchestrator::restartCountdownChanged, this,
            &AppShellViewModel::connectionTextChanged);
    // Every backend transfer ends here: an HTTP status means the backend answered, whatever it
    // said; no status means it was not reached.
    connect(&services.network, &QNetworkAccessManager::finished, this,
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

void AppShellViewModel::setSystemIsDark(bool systemIsDark) {
    const bool dark = isDarkTheme(theme_, systemIsDark);
    if (dark != isDark_) {
        isDark_ = dark;
        emit isDarkChanged();
    }
}

bool AppShellViewModel::isAuthenticated() const {
    return auth_.isAuthenticated();
}

QSize AppShellViewModel::contentSize() const {
    return contentSizeFor(isAuthenticated(), updates_.hasUpdate());
}

QVariantList AppShellViewModel::moduleButtons() const {
    QVariantList buttons;
    for (WindowModule module : window_module::allModules()) {
        buttons.append(QVariantMap{{QStringLiteral("module"), static_cast<int>(module)},
                                   {QStringLiteral("word"), moduleWord(module)}});
    }
    return buttons;
}

void AppShellViewModel::setSelectedModule(WindowModule module) {
    // QML hands a module over as a number, which may be none.
    if (module != selectedModule_ && window_module::allModules().contains(module)) {
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
    updates_.startAutoCheck();
    [[maybe_unused]] auto restoring = [](AppShellViewModel* self) -> QCoro::Task<> {
        QPointer<AppShellViewModel> alive(self);
        auto& auth = self->auth_;
        co_await self->loadStoredSignIn_();
        co_await auth.restoreSignIn();
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
            monitor_.start();
            // The task ends on its own; dropping it does not cancel it.
            [[maybe_unused]] auto running = orchestrator_.start();
        }
        if (changed) {
            updates_.startAutoCheck();
        }
        return;
    }
    logout_.disarm();
    didStartAuthenticatedServices_ = false;
    releaseEngine();
    monitor_.releaseStart();
    if (monitor_.startCount() == 0) {
        monitor_.stop();
    }
}

void AppShellViewModel::releaseEngine() {
    orchestrator_.stop();
    orchestrator_.setCorvantaKey(QString());
    orchestrator_.setDeviceId(0);
    runLog_.append(QStringLiteral("?"), log::logTag(log::LogCategory::auth),
                   QStringLiteral("key released"));
}

void AppShellViewModel::shutdown() {
    releaseEngine();
    while (monitor_.startCount() > 0) {
        monitor_.releaseStart();
    }
    monitor_.stop();
    updates_.stopAutoCheck();
}

void AppShellViewModel::updateConnectionStatus() {
    const QString status = connectionStatusFor(isAuthenticated(), orchestrator_.isRunning(),
                                               orchestrator_.currentState(), lastReply_);
    if (status != connectionStatus_) {
        connectionStatus_ = status;
        emit connectionStatusChanged();
        emit connectionTextChanged();
    }
}

QString AppShellViewModel::connectionText() const {
    const QString text = platform::localized(connectionStatus_);
    return connectionStatus_ == QLatin1String("status_restarting")
               ? text.arg(orchestrator_.restartSecondsLeft())
               : text;
}

}  // namespace corvanta::ui
