// The composition root as both programs use it: built by its owner, taken down in the reverse
// order of its building, and built again in the same process on what the first one left.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/app_dependency.h"
#include "backend/auth_repository.h"
#include "log/log_buffer_service.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::app {
namespace {

using namespace std::chrono_literals;
using testing::DevServerProcess;
using testing::processEventsUntil;
using testing::runSync;

// A profile of the test's own: private config, data and cache homes, and no keyring (the
// secrets go to the fallback file).
class AppDependencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        const QByteArray root = home_.path().toUtf8();
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CACHE_HOME", root + "/cache");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("CORVANTA_API_BASE_URL", server_.url().toUtf8());
    }

    QTemporaryDir home_;
    // A difficulty no search meets: the engine is still searching when the root goes.
    DevServerProcess server_{{"--difficulty", "12"}};
};

TEST_F(AppDependencyTest, ARootGoesDownInReverseOrderAndTheNextFindsWhatItLeft) {
    {
        AppDependency first;
        // The engine is built on request only, and once.
        EXPECT_FALSE(first.hasEngine());
        runSync(first.loadStoredSignIn());
        runSync(first.authRepository().login(server_.demoKey()));
        tasks::TaskOrchestrator& orchestrator = first.buildEngine();
        EXPECT_EQ(&first.buildEngine(), &orchestrator);
        [[maybe_unused]] auto running = orchestrator.start();
        ASSERT_TRUE(processEventsUntil(
            [&] {
                return !first.logBuffer()
                            .logLines()
                            .filter(QStringLiteral("fetched id="))
                            .isEmpty();
            },
            30s));
        ASSERT_TRUE(orchestrator.isRunning());
        // Gone while searching, without being wound down by hand.
    }

    AppDependency second;
    // The engine wound down before the run log closed: its last line reached the file, and the
    // file was let go for the next root to read.
    const QStringList lines = second.logBuffer().logLines();
    const auto lastLineWith = [&](const QString& text) {
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            if (lines[i].contains(text)) {
                return i;
            }
        }
        return qsizetype(-1);
    };
    const qsizetype fetched = lastLineWith(QStringLiteral("fetched id="));
    const qsizetype exited = lastLineWith(QStringLiteral("[TASK_ENGINE] main loop exited"));
    ASSERT_GE(fetched, 0) << lines.join('\n').toStdString();
    EXPECT_GT(exited, fetched) << lines.join('\n').toStdString();
    EXPECT_FALSE(second.logBuffer().databasePath().isEmpty());

    // The secrets were written before their store went: the sign-in is there to restore.
    runSync(second.loadStoredSignIn());
    EXPECT_TRUE(runSync(second.authRepository().restoreSignIn()));
    EXPECT_FALSE(second.hasEngine());
}

TEST_F(AppDependencyTest, TheHeadlessRootKeepsNoRunLogLinesButStoresThemAll) {
    {
        AppDependency window;
        EXPECT_TRUE(window.logBuffer().keepsVisibleLines());
        window.logBuffer().append(QStringLiteral("1"), QStringLiteral("TASK"),
                                  QStringLiteral("from the window"));
    }
    {
        AppDependency::Options options;
        options.keepsVisibleLogLines = false;
        AppDependency headless(std::move(options));
        EXPECT_FALSE(headless.logBuffer().keepsVisibleLines());
        headless.logBuffer().append(QStringLiteral("1"), QStringLiteral("TASK"),
                                    QStringLiteral("from the headless client"));
        headless.logBuffer().flushPendingLines();
        EXPECT_TRUE(headless.logBuffer().logLines().isEmpty());
    }
    AppDependency window;
    const QStringList lines = window.logBuffer().logLines();
    ASSERT_EQ(lines.size(), 2) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral("[TASK] from the window")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral("[TASK] from the headless client")));
}

}  // namespace
}  // namespace corvanta::app
