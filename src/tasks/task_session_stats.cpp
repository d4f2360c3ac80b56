#include "tasks/task_session_stats.h"

namespace corvanta::tasks {

namespace {

double secondsBetween(const QDateTime& from, const QDateTime& to) {
    return static_cast<double>(from.msecsTo(to)) / 1000.0;
}

QString runtime(const std::optional<QDateTime>& startedAt, const std::optional<QDateTime>& pausedAt,
                double pausedDuration, const QDateTime& now) {
    if (!startedAt) {
        return QStringLiteral("00:00");
    }
    double elapsed = secondsBetween(*startedAt, now) - pausedDuration;
    if (pausedAt) {
        elapsed -= secondsBetween(*pausedAt, now);
    }
    return TaskSessionStats::formatDuration(elapsed);
}

}  // namespace

void TaskSessionStats::markEngineStarted(const QDateTime& now) {
    if (!engineStartedAt) {
        engineStartedAt = now;
    }
}

void TaskSessionStats::pauseClocks(const QDateTime& now) {
    if (engineStartedAt && !enginePausedAt) {
        enginePausedAt = now;
    }
    if (currentTaskStartedAt && !currentTaskPausedAt) {
        currentTaskPausedAt = now;
    }
}

void TaskSessionStats::resumeClocks(const QDateTime& now) {
    if (enginePausedAt) {
        enginePausedDuration += secondsBetween(*enginePausedAt, now);
        enginePausedAt.reset();
    }
    if (currentTaskPausedAt) {
        currentTaskPausedDuration += secondsBetween(*currentTaskPausedAt, now);
        currentTaskPausedAt.reset();
    }
}

QString TaskSessionStats::engineRuntime(const QDateTime& now) const {
    return runtime(engineStartedAt, enginePausedAt, enginePausedDuration, now);
}

QString TaskSessionStats::taskRuntime(const QDateTime& now) const {
    return runtime(currentTaskStartedAt, currentTaskPausedAt, currentTaskPausedDuration, now);
}

QString TaskSessionStats::formatDuration(double seconds) {
    const long long s = seconds > 0 ? static_cast<long long>(seconds) : 0;
    if (s >= 3600) {
        return QString::asprintf("%02lld:%02lld:%02lld", s / 3600, (s % 3600) / 60, s % 60);
    }
    return QString::asprintf("%02lld:%02lld", s / 60, s % 60);
}

QString TaskSessionStats::progressText(const QDateTime& now) const {
    const double percentage = upperBound == 0 ? 0.0
                                              : static_cast<double>(noncePosition) /
                                                    static_cast<double>(upperBound) * 100.0;
    return QStringLiteral("task=") + currentTaskId + QStringLiteral(" diff=") +
           QString::number(currentDifficulty) + QStringLiteral(" progress=") +
           QString::number(noncePosition) + QStringLiteral("/") + QString::number(upperBound) +
           QStringLiteral(" (") + QString::asprintf("%.2f", percentage) +
           QStringLiteral("%) engineRuntime=") + engineRuntime(now) +
           QStringLiteral(" taskRuntime=") + taskRuntime(now) + QStringLiteral(" claimed=") +
           QString::number(claimedCount) + QStringLiteral(" done=") +
           QString::number(completedCount) + QStringLiteral(" failed=") +
           QString::number(failedCount);
}

}  // namespace corvanta::tasks
