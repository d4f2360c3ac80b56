#include "log/log_tag.h"

namespace corvanta::log {

QString logCategoryWord(LogCategory category) {
    switch (category) {
        case LogCategory::taskEngine:
            return QStringLiteral("TASK_ENGINE");
        case LogCategory::auth:
            return QStringLiteral("AUTH");
        case LogCategory::device:
            return QStringLiteral("DEVICE");
        case LogCategory::task:
            return QStringLiteral("TASK");
        case LogCategory::submit:
            return QStringLiteral("SUBMIT");
        case LogCategory::engine:
            return QStringLiteral("ENGINE");
        case LogCategory::orch:
            return QStringLiteral("ORCH");
        case LogCategory::validate:
            return QStringLiteral("VALIDATE");
        case LogCategory::state:
            break;
    }
    return QStringLiteral("STATE");
}

QString logSeverityWord(LogSeverity severity) {
    switch (severity) {
        case LogSeverity::info:
            return QStringLiteral("INFO");
        case LogSeverity::debug:
            return QStringLiteral("DEBUG");
        case LogSeverity::warning:
            return QStringLiteral("WARN");
        case LogSeverity::error:
            break;
    }
    return QStringLiteral("ERROR");
}

QString logTag(LogCategory category, LogSeverity severity) {
    return severity == LogSeverity::info ? logCategoryWord(category) : logSeverityWord(severity);
}

}  // namespace corvanta::log
