#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include "headless_process.h"
#include "support/devserver_process.h"
#include "support/qt_printers.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// Runs `sqlite3` on a database file and returns its output lines.
QStringList sqlite(const QString& database, const QString& statement) {
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {database, statement});
    process.waitForFinished(20'000);
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

TEST(Headless, SolvesTasksInARowAndKeepsTheRunLog) {
    DevServerProcess server({"--difficulty", "4"});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=", 3, 90s)) << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);
    EXPECT_EQ(client.countMatching("\\[TASK_ENGINE\\] engine stopped"), 1);
    EXPECT_EQ(client.countMatching("main loop exited"), 1);

    // Every submit waited for the 5 seconds after its fetch.
    const auto tasks = server.tasks();
    int solved = 0;
    for (const auto& task : tasks) {
        solved += task.value("solved", false) ? 1 : 0;
    }
    EXPECT_GE(solved, 3);
    EXPECT_GE(client.countMatching("\\[SUBMIT\\] ⏳ wait [0-9.]+s before pullTask id=T1$"), 1);
    const QStringList lines = client.lines();
    const auto waitLine = lines.indexOf(QRegularExpression("⏳ wait .* id=T1$"));
    const auto startLine = lines.indexOf(QRegularExpression("📤 pullTask start id=T1 "));
    ASSERT_GE(waitLine, 0);
    EXPECT_GT(startLine, waitLine);

    // The run log on disk holds the same lines in the documented form.
    const QString database = client.dataDirectory() + QStringLiteral("/corvanta_logs.db");
    const QStringList stored = sqlite(database, QStringLiteral("SELECT line FROM log_records;"));
    ASSERT_FALSE(stored.isEmpty());
    const QRegularExpression form(
        QStringLiteral("^\\[\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\] \\[[A-Z_]+(#\\d+)?\\] \\S"));
    for (const QString& line : stored) {
        EXPECT_TRUE(form.match(line).hasMatch()) << line.toStdString();
    }
    EXPECT_TRUE(stored.contains(lines.first()));
}

TEST(Headless, StopsAfterThreeFailedFetches) {
    DevServerProcess server;
    server.addFault({{"path", "/api/device/getTask"}, {"status", 502}, {"count", -1}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(60s), 3);
    EXPECT_EQ(client.countMatching("\\[WARN\\] ⚠️ task fetch failed; retry in 5s"), 2);
    EXPECT_EQ(client.countMatching(
                  "\\[ERROR\\] ❌ task fetch failed 3 consecutive times; loop stopped$"),
              1);
}

TEST(Headless, RetriesTheKeyCheckAndStopsWhenTheSignInEnds) {
    DevServerProcess server({"--difficulty", "12"});  // nothing will be solved meanwhile
    server.addFault({{"path", "/api/device/checkApiKey"}, {"code", 0}, {"msg", "busy"},
                     {"count", 2}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] fetched id=T1 ", 1, 60s));
    EXPECT_EQ(client.countMatching("\\[AUTH\\] ❌ key verification failed attempt=1/3 error="), 1);
    EXPECT_EQ(client.countMatching("\\[AUTH\\] ❌ key verification failed attempt=2/3 error="), 1);
    EXPECT_EQ(client.countMatching("attempt=3/3"), 0);

    // The backend forgets every token: the engine notices and stops.
    server.revokeTokens();
    server.addFault({{"path", "/api/device/getTask"}, {"code", 401}, {"count", -1}});
    EXPECT_EQ(client.waitForExit(60s), 3);
    EXPECT_GE(client.countMatching("token (unavailable|invalid before submit); stopping engine"), 1)
        << client.lines().join('\n').toStdString();
}

TEST(Headless, AFailedRegistrationLeavesTheEngineStopped) {
    DevServerProcess server;
    server.addFault({{"path", "/api/device/init"}, {"status", 500}, {"count", -1}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(30s), 2);
    EXPECT_EQ(client.countMatching("\\[ERROR\\] ❌ registration failed error="), 1);
    EXPECT_EQ(client.countMatching("\\[ERROR\\] ❌ device registration failed$"), 1);
    EXPECT_EQ(client.countMatching("main loop started"), 0);
}

TEST(Headless, ABadKeyExitsWithAClearMessage) {
    DevServerProcess server;
    HeadlessProcess client(server.url());
    client.start(QStringLiteral("not-a-known-key"));
    EXPECT_EQ(client.waitForExit(30s), 1);
    EXPECT_TRUE(client.lines().isEmpty());
}

}  // namespace
}  // namespace corvanta::testing
