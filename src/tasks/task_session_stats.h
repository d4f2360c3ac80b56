#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

namespace corvanta::tasks {

// Counters and clocks of one engine run, from one start to the next, and the progress line built
// from them. Paused time is not counted.
struct TaskSessionStats {
    QString currentTaskId = QStringLiteral("-");
    int currentDifficulty = 0;
    std::uint64_t noncePosition = 0;
    std::uint64_t upperBound = 0;
    std::optional<QDateTime> engineStartedAt;
    std::optional<QDateTime> enginePausedAt;
    double enginePausedDuration = 0;
    std::optional<QDateTime> currentTaskStartedAt;
    std::optional<QDateTime> currentTaskPausedAt;
    double currentTaskPausedDuration = 0;
    int claimedCount = 0;
    int completedCount = 0;
    int failedCount = 0;

    void markEngineStarted(const QDateTime& now);
    void pauseClocks(const QDateTime& now);
    void resumeClocks(const QDateTime& now);

    QString engineRuntime(const QDateTime& now) const;
    QString taskRuntime(const QDateTime& now) const;
    QString progressText(const QDateTime& now) const;

    // "MM:SS", or "HH:MM:SS" from one hour on.
    static QString formatDuration(double seconds);
};

}  // namespace corvanta::tasks
