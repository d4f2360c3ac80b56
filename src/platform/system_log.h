#pragma once

#include <QLoggingCategory>

// The system log: Qt logging categories, which end up in journald or on standard error.
namespace corvanta::platform {
Q_DECLARE_LOGGING_CATEGORY(authLog)
Q_DECLARE_LOGGING_CATEGORY(dashboardLog)
Q_DECLARE_LOGGING_CATEGORY(computeLog)
Q_DECLARE_LOGGING_CATEGORY(resourcesLog)
}  // namespace corvanta::platform
