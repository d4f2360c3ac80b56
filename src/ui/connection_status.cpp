#include "ui/connection_status.h"

namespace corvanta::ui {

QString connectionStatusFor(bool engineRunning, const QString& engineState,
                            LastBackendReply lastReply) {
    if (!engineRunning || engineState == QLatin1String("paused") ||
        engineState == QLatin1String("stopped")) {
        return QStringLiteral("disconnected");
    }
    if (engineState == QLatin1String("running") && lastReply == LastBackendReply::answered) {
        return QStringLiteral("connected");
    }
    return QStringLiteral("connecting");
}

}  // namespace corvanta::ui
