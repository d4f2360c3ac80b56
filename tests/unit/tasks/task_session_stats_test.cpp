#include <gtest/gtest.h>

#include "support/qt_printers.h"
#include "tasks/task_session_stats.h"

namespace corvanta::tasks {
namespace {

const QDateTime t0 = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

TEST(TaskSessionStats, ProgressTextAndRuntimeClocks) {
    TaskSessionStats stats;
    EXPECT_EQ(stats.progressText(t0),
              "task=- diff=0 progress=0/0 (0.00%) engineRuntime=00:00 taskRuntime=00:00 "
              "claimed=0 done=0 failed=0");

    EXPECT_EQ(TaskSessionStats::formatDuration(3725), "01:02:05");
    EXPECT_EQ(TaskSessionStats::formatDuration(59.9), "00:59");
    EXPECT_EQ(TaskSessionStats::formatDuration(-4), "00:00");
    EXPECT_EQ(TaskSessionStats::formatDuration(360000), "100:00:00");

    // Started 100 s ago, one finished 30 s pause, a running pause begun 10 s ago: 60 s.
    stats.markEngineStarted(t0);
    stats.markEngineStarted(t0.addSecs(5));  // keeps the first start
    stats.pauseClocks(t0.addSecs(20));
    stats.resumeClocks(t0.addSecs(50));
    stats.pauseClocks(t0.addSecs(90));
    stats.pauseClocks(t0.addSecs(95));  // keeps the first pause time
    EXPECT_EQ(stats.engineRuntime(t0.addSecs(100)), "01:00");
    stats.resumeClocks(t0.addSecs(100));
    stats.resumeClocks(t0.addSecs(400));  // no running pause: nothing changes
    EXPECT_DOUBLE_EQ(stats.enginePausedDuration, 40.0);
    EXPECT_EQ(stats.engineRuntime(t0.addSecs(110)), "01:10");

    stats.currentTaskId = "t-7";
    stats.currentDifficulty = 6;
    stats.noncePosition = 1'048'576;
    stats.upperBound = 4'194'304;
    stats.currentTaskStartedAt = t0.addSecs(100);
    stats.claimedCount = 2;
    stats.completedCount = 1;
    EXPECT_EQ(stats.progressText(t0.addSecs(105)),
              "task=t-7 diff=6 progress=1048576/4194304 (25.00%) engineRuntime=01:05 "
              "taskRuntime=00:05 claimed=2 done=1 failed=0");
}

}  // namespace
}  // namespace corvanta::tasks
