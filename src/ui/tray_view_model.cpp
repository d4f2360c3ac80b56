#include "ui/tray_view_model.h"

#include <QSettings>

#include "backend/auth_repository.h"
#include "platform/string_table.h"
#include "tasks/lane_plan.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::ui {

using platform::localized;

TrayViewModel::TrayViewModel(Services services, bool hasTray, bool startInTray, QObject* parent)
    : QObject(parent),
      orchestrator_(services.orchestrator),
      auth_(services.auth),
      settings_(services.settings),
      resume_(std::move(services.resume)),
      hasTray_(hasTray),
      startInTray_(startInTray) {
    connect(&orchestrator_, &tasks::TaskOrchestrator::currentStateChanged, this,
            &TrayViewModel::refresh);
    connect(&orchestrator_, &tasks::TaskOrchestrator::isRunningChanged, this,
            &TrayViewModel::refresh);
    // Moves on with every searched segment and every second of the run: the rate and the task
    // are read then.
    connect(&orchestrator_, &tasks::TaskOrchestrator::progressTextChanged, this,
            &TrayViewModel::refresh);
    // Ticks once a second while a restart is scheduled, so the tooltip counts down with it.
    connect(&orchestrator_, &tasks::TaskOrchestrator::restartCountdownChanged, this,
            &TrayViewModel::refresh);
    connect(&auth_, &backend::AuthRepository::isAuthenticatedChanged, this,
            &TrayViewModel::refresh);
    state_ = stateFor(orchestrator_.isRunning(), orchestrator_.currentState());
    toolTip_ = composeToolTip();
    canPauseResume_ = auth_.isAuthenticated();
}

TrayState TrayViewModel::stateFor(bool isRunning, tasks::EngineState state) {
    switch (state) {
        case tasks::EngineState::running:
            return isRunning ? TrayState::running : TrayState::stopped;
        case tasks::EngineState::paused:
            return TrayState::paused;
        case tasks::EngineState::restarting:
            return TrayState::restarting;
        case tasks::EngineState::idle:
        case tasks::EngineState::stopped:
        case tasks::EngineState::waitingKey:
            break;
    }
    return TrayState::stopped;
}

QString TrayViewModel::iconSourceFor(TrayState state) {
    switch (state) {
        case TrayState::running:
            return QStringLiteral(":/icons/tray_running.svg");
        case TrayState::paused:
            return QStringLiteral(":/icons/tray_paused.svg");
        case TrayState::restarting:
            return QStringLiteral(":/icons/tray_restarting.svg");
        case TrayState::stopped:
            break;
    }
    return QStringLiteral(":/icons/tray_stopped.svg");
}

QString TrayViewModel::pauseResumeText() const {
    const bool pauses = state_ == TrayState::running || state_ == TrayState::restarting;
    return localized(pauses ? QStringLiteral("tray_pause") : QStringLiteral("tray_resume"));
}

bool TrayViewModel::canPauseResume() const {
    return canPauseResume_;
}

void TrayViewModel::openWindow() {
    emit openWindowRequested();
}

void TrayViewModel::pauseOrResume() {
    if (!canPauseResume_) {
        return;
    }
    // A scheduled restart is called off by a pause like a running search.
    if (state_ == TrayState::running || state_ == TrayState::restarting) {
        orchestrator_.pause();
    } else if (resume_) {
        resume_();
    }
    refresh();
}

void TrayViewModel::quit() {
    emit quitRequested();
}

bool TrayViewModel::closeToTray() {
    if (!hasTray_) {
        return false;
    }
    if (!settings_.value(QLatin1String(kCloseNoticeShownKey), false).toBool()) {
        settings_.setValue(QLatin1String(kCloseNoticeShownKey), true);
        emit notificationRequested(localized(QStringLiteral("tray_still_running_title")),
                                   localized(QStringLiteral("tray_still_running_message")));
    }
    return true;
}

QString TrayViewModel::composeToolTip() const {
    QString stateKey;
    switch (state_) {
        case TrayState::running:
            stateKey = QStringLiteral("tray_state_running");
            break;
        case TrayState::paused:
            stateKey = QStringLiteral("tray_state_paused");
            break;
        case TrayState::restarting:
            stateKey = QStringLiteral("tray_state_restarting");
            break;
        case TrayState::stopped:
            stateKey = QStringLiteral("tray_state_stopped");
            break;
    }
    QString stateText = localized(stateKey);
    if (state_ == TrayState::restarting) {
        stateText = stateText.arg(orchestrator_.restartSecondsLeft());
    }
    QString text = localized(QStringLiteral("tray_tooltip"))
                       .arg(localized(QStringLiteral("app_name")), stateText);
    const QString& task = orchestrator_.sessionStats().currentTaskId;
    if (state_ == TrayState::running && !task.isEmpty() && task != QStringLiteral("-")) {
        text += u'\n' + localized(QStringLiteral("tray_tooltip_task"))
                            .arg(tasks::rateLabel(orchestrator_.nonceRate()), task);
    }
    return text;
}

void TrayViewModel::refresh() {
    const TrayState state = stateFor(orchestrator_.isRunning(), orchestrator_.currentState());
    const bool stateChanged = state != state_;
    state_ = state;
    QString toolTip = composeToolTip();
    const bool canPauseResume = auth_.isAuthenticated();
    if (!stateChanged && toolTip == toolTip_ && canPauseResume == canPauseResume_) {
        return;
    }
    toolTip_ = std::move(toolTip);
    canPauseResume_ = canPauseResume;
    emit changed();
}

}  // namespace corvanta::ui
