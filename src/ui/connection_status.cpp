#include "ui/connection_status.h"

namespace corvanta::ui {

QString connectionStatusFor(bool signedIn, bool engineRunning, tasks::EngineState engineState,
                            LastBackendReply lastReply) {
    using tasks::EngineState;
    if (!signedIn) {
        return QStringLiteral("status_signed_out");
    }
    if (engineState == EngineState::paused) {
        return QStringLiteral("status_paused");
    }
    if (engineState == EngineState::waitingKey) {
        return QStringLiteral("status_waiting_key");
    }
    if (engineState == EngineState::restarting) {
        return QStringLiteral("status_restarting");
    }
    if (engineRunning && engineState == EngineState::running) {
        return lastReply == LastBackendReply::answered ? QStringLiteral("status_running")
                                                       : QStringLiteral("status_connecting");
    }
    return QStringLiteral("status_stopped");
}

QString connectionStatusColor(const QString& status) {
    if (status == QLatin1String("status_running")) {
        return QStringLiteral("success");
    }
    if (status == QLatin1String("status_connecting")) {
        return QStringLiteral("accent");
    }
    if (status == QLatin1String("status_paused") || status == QLatin1String("status_waiting_key") ||
        status == QLatin1String("status_restarting")) {
        return QStringLiteral("warning");
    }
    if (status == QLatin1String("status_stopped")) {
        return QStringLiteral("secondaryText");
    }
    return QStringLiteral("danger");
}

}  // namespace corvanta::ui
