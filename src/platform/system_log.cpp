#include "platform/system_log.h"

namespace corvanta::platform {
Q_LOGGING_CATEGORY(authLog, "corvanta.auth")
Q_LOGGING_CATEGORY(dashboardLog, "corvanta.dashboard")
Q_LOGGING_CATEGORY(computeLog, "corvanta.compute")
Q_LOGGING_CATEGORY(resourcesLog, "corvanta.resources")
}  // namespace corvanta::platform
