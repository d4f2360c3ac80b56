#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUrlQuery>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <map>

#include <nlohmann/json.hpp>

#include "headless_process.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "support/private_session_bus.h"
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

// The nonces of the pullTask requests for `taskId` in the server's journal, oldest first, and
// whether a fault was applied to each.
std::vector<std::pair<std::uint64_t, bool>> submissions(DevServerProcess& server,
                                                        const std::string& taskId) {
    std::vector<std::pair<std::uint64_t, bool>> found;
    for (const auto& request : server.requests()) {
        if (request["path"] != "/api/device/pullTask") {
            continue;
        }
        const QUrlQuery form(QString::fromStdString(request["body"].get<std::string>()));
        if (form.queryItemValue(QStringLiteral("task_id")).toStdString() != taskId) {
            continue;
        }
        found.emplace_back(form.queryItemValue(QStringLiteral("result")).toULongLong(),
                           !request["fault"].get<std::string>().empty());
    }
    return found;
}

int requestsTo(DevServerProcess& server, const std::string& path) {
    int count = 0;
    for (const auto& request : server.requests()) {
        count += request["path"] == path ? 1 : 0;
    }
    return count;
}

TEST(Headless, SolvesTasksInARowAndKeepsTheRunLog) {
    DevServerProcess server({"--difficulty", "4"});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=", 3, 90s))
        << client.lines().join('\n').toStdString();
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
    // On the wire: no pullTask for a task earlier than 5 s after the getTask that fetched it.
    std::map<std::string, std::int64_t> fetchedAt;
    int fetches = 0;
    int submits = 0;
    for (const auto& request : server.requests()) {
        const std::string path = request["path"];
        if (path == "/api/device/getTask") {
            // Appending rather than "T" + string&& keeps GCC 12 from a false -Wrestrict warning.
            std::string task = "T";
            task += std::to_string(++fetches);
            fetchedAt[task] = request["atMs"].get<std::int64_t>();
        } else if (path == "/api/device/pullTask") {
            const std::string body = request["body"];
            const auto id = body.substr(body.find("task_id=") + 8);
            const auto task = id.substr(0, id.find('&'));
            ASSERT_TRUE(fetchedAt.contains(task)) << body;
            EXPECT_GE(request["atMs"].get<std::int64_t>() - fetchedAt[task], 5000) << body;
            ++submits;
        }
    }
    EXPECT_GE(submits, 3);
    const QStringList lines = client.lines();
    auto firstMatch = [&](const QString& pattern) {
        const QRegularExpression expression(pattern);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (expression.match(lines[i]).hasMatch()) {
                return i;
            }
        }
        return qsizetype{-1};
    };
    const auto fetchLine = firstMatch(QStringLiteral("\\[TASK\\] fetched id=T1 "));
    const auto waitLine = firstMatch(QStringLiteral("⏳ wait [0-9.]+s before pullTask id=T1$"));
    const auto startLine = firstMatch(QStringLiteral("📤 pullTask start id=T1 "));
    ASSERT_GE(fetchLine, 0);
    EXPECT_GT(waitLine, fetchLine);
    EXPECT_GT(startLine, waitLine);

    // The run log on disk holds the same lines in the documented form.
    const QString database = client.dataDirectory() + QStringLiteral("/corvanta_logs.db");
    const QStringList stored =
        sqlite(database, QStringLiteral("SELECT log_line FROM log_records ORDER BY id;"));
    ASSERT_FALSE(stored.isEmpty());
    const QRegularExpression form(QStringLiteral(
        "^\\[\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\] \\[[A-Z_]+(#\\d+)?\\] \\S"));
    for (const QString& line : stored) {
        EXPECT_TRUE(form.match(line).hasMatch()) << line.toStdString();
    }
    EXPECT_TRUE(stored.contains(lines.first()));
}

TEST(Headless, StaysUpThroughAnOutageAndSolvesTheNextTaskAfterItsRestart) {
    DevServerProcess server({"--difficulty", "4"});
    // The sign-in's own check passes; every later one meets a backend that is down.
    server.addFault({{"path", "/api/token/check"}, {"status", 502}, {"after", 1}, {"count", -1}});
    HeadlessProcess client(server.url());
    // 30 s becomes 0.6 s, 1 minute 1.2 s.
    client.setEnvironment(QStringLiteral("CORVANTA_RESTART_DELAY_SCALE"), QStringLiteral("0.02"));
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] ⏳ engine restarts in 1s \\(sign-in check failed\\)$"))
        << client.lines().join('\n').toStdString();
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] ⏳ engine restarts in 2s \\(sign-in check failed\\)$"))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.countMatching("\\[AUTH\\] token unavailable; stopping engine$"), 2);
    // The backend is back: the restarted engine solves a task.
    server.clearFaults();
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=T1$", 1, 60s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.countMatching("\\[TASK_ENGINE\\] engine started$"), 3);
    EXPECT_EQ(client.terminate(), 0);
}

TEST(Headless, RetriesTheKeyCheckAndStopsWhenTheSignInEnds) {
    // Candidates come often, but their submission waits 5 s after the fetch.
    DevServerProcess server({"--difficulty", "5"});
    server.addFault(
        {{"path", "/api/device/checkApiKey"}, {"code", 0}, {"msg", "busy"}, {"count", 2}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] fetched id=T1 ", 1, 60s));
    EXPECT_EQ(client.countMatching("\\[AUTH\\] ❌ key verification failed attempt=1/3 error="), 1);
    EXPECT_EQ(client.countMatching("\\[AUTH\\] ❌ key verification failed attempt=2/3 error="), 1);
    EXPECT_EQ(client.countMatching("attempt=3/3"), 0);

    // The backend forgets every token before the first submission: the engine notices at its
    // next sign-in check and stops.
    server.revokeTokens();
    EXPECT_EQ(client.waitForExit(60s), 3);
    EXPECT_EQ(client.countMatching("pullTask ok"), 0);
    EXPECT_GE(client.countMatching("token (unavailable|invalid before submit); stopping engine"), 1)
        << client.lines().join('\n').toStdString();
}

TEST(Headless, ARefusedRegistrationLeavesTheEngineStopped) {
    DevServerProcess server;
    server.addFault({{"path", "/api/device/init"}, {"code", 0}, {"count", -1}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(30s), 2);
    EXPECT_EQ(client.countMatching("\\[ERROR\\] ❌ registration failed error="), 1);
    EXPECT_EQ(client.countMatching("\\[ERROR\\] ❌ device registration failed$"), 1);
    EXPECT_EQ(client.countMatching("main loop started"), 0);
}

TEST(Headless, ARegistrationThatFailsForNowIsTriedAgainUntilItIsRefused) {
    DevServerProcess server;
    server.addFault({{"path", "/api/device/init"}, {"status", 500}, {"count", 2}});
    server.addFault({{"path", "/api/device/init"}, {"code", 0}, {"count", -1}});
    HeadlessProcess client(server.url());
    client.setEnvironment(QStringLiteral("CORVANTA_RESTART_DELAY_SCALE"), QStringLiteral("0.01"));
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(30s), 2);
    EXPECT_EQ(
        client.countMatching("\\[ENGINE\\] ⏳ engine restarts in 1s \\(registration failed\\)$"), 2);
    EXPECT_EQ(client.countMatching("\\[ERROR\\] ❌ device registration failed$"), 3);
}

// The machine's battery and sleep, played by fake UPower and logind services on a bus the test
// starts and hands the client as its system bus.
TEST(Headless, PausesOnBatteryAndForSleepAndResumesAfterwards) {
    DevServerProcess server;
    QTemporaryDir busDirectory;
    PrivateSessionBus bus(busDirectory.path() + QStringLiteral("/bus"));
    QProcess power;
    power.start(QStringLiteral(CORVANTA_FAKE_POWER_SERVICE_PATH), {bus.address()});
    auto answer = [&power] {
        while (!power.canReadLine()) {
            if (!power.waitForReadyRead(10'000)) {
                return QByteArray();
            }
        }
        return power.readLine().trimmed();
    };
    ASSERT_EQ(answer(), "ready");
    auto send = [&](const char* command) {
        power.write(QByteArray(command) + '\n');
        EXPECT_EQ(answer(), "ok") << command;
    };

    HeadlessProcess client(server.url());
    client.setEnvironment(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), bus.address());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] fetched id=T1 "));

    send("battery 2 55");
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] 🔋 running on battery; engine paused$"))
        << client.lines().join('\n').toStdString();
    ASSERT_TRUE(client.waitFor("\\[TASK_ENGINE\\] main loop exited$"));
    send("battery 1 56");
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] 🔌 on mains power; engine resumed$"));
    ASSERT_TRUE(client.waitFor("\\[TASK_ENGINE\\] main loop started$", 2));

    send("sleep");
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] 💤 machine going to sleep; engine paused$"));
    ASSERT_TRUE(client.waitFor("\\[TASK_ENGINE\\] main loop exited$", 2));
    send("wake");
    ASSERT_TRUE(client.waitFor("\\[ENGINE\\] ☀️ machine woke up; engine resumed$"));
    ASSERT_TRUE(client.waitFor("\\[TASK_ENGINE\\] main loop started$", 3));
    EXPECT_EQ(client.terminate(), 0);
    power.closeWriteChannel();
    EXPECT_TRUE(power.waitForFinished(10'000));
}

TEST(Headless, ABadKeyExitsWithAClearMessage) {
    DevServerProcess server;
    HeadlessProcess client(server.url());
    client.start(QStringLiteral("not-a-known-key"));
    EXPECT_EQ(client.waitForExit(30s), 1);
    EXPECT_TRUE(client.lines().isEmpty());
}

TEST(Headless, AKilledClientResumesItsTaskWithoutSearchingFinishedRangesAgain) {
    // Difficulty 12 is never met here; 100 M nonces are two graphics-lane segments, so one can
    // finish while the other is in flight.
    DevServerProcess server({"--difficulty", "12", "--upper-bound", "100000000", "--reissue", "1"});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("done ∅ no-match segment=1 ", 1, 90s))
        << client.lines().join('\n').toStdString();
    // Progress is written by the store thread a moment after the segment ends: kill the client
    // once the finished segment is on disk.
    const QString tasksDb = client.dataDirectory() + QStringLiteral("/corvanta_tasks.db");
    ASSERT_TRUE(testing::processEventsUntil(
        [&] {
            const auto text =
                sqlite(tasksDb, QStringLiteral("SELECT completed_ranges FROM task_progress;"));
            return text.size() == 1 && text.first() != QStringLiteral("[]");
        },
        30s));
    client.kill();

    const QStringList completedText =
        sqlite(tasksDb, QStringLiteral("SELECT completed_ranges FROM task_progress;"));
    ASSERT_EQ(completedText.size(), 1);
    const auto completed = nlohmann::json::parse(completedText.first().toStdString());
    ASSERT_FALSE(completed.empty());
    for (const QString& database : {tasksDb, client.dataDirectory() + "/corvanta_logs.db"}) {
        EXPECT_EQ(sqlite(database, QStringLiteral("PRAGMA integrity_check;")),
                  QStringList{QStringLiteral("ok")});
    }

    client.clearLines();
    client.start(server.demoKey());
    ASSERT_TRUE(
        client.waitFor("validation failed id=T1 reason=range_exhausted_no_valid_nonce", 1, 120s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.countMatching("scheduler start .* restored=true"), 1);
    const QRegularExpression claim(
        QStringLiteral("claim segment=\\d+ startNonce=(\\d+) endNonce=(\\d+)"));
    int claims = 0;
    for (const QString& line : client.lines()) {
        const auto match = claim.match(line);
        if (!match.hasMatch()) {
            continue;
        }
        ++claims;
        const auto start = match.captured(1).toULongLong();
        const auto end = match.captured(2).toULongLong();
        for (const auto& range : completed) {
            EXPECT_TRUE(end <= range["start"].get<std::uint64_t>() ||
                        start >= range["end"].get<std::uint64_t>())
                << line.toStdString();
        }
    }
    EXPECT_GE(claims, 1);
    EXPECT_EQ(client.terminate(), 0);
}

TEST(Headless, ASecondLifeSignsInFromTheStoredTokenAndResumesItsTask) {
    // Never solved here: 100 M nonces at difficulty 12, handed out again after the restart.
    DevServerProcess server({"--difficulty", "12", "--upper-bound", "100000000", "--reissue", "1"});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("claim segment=1 ", 1, 90s))
        << client.lines().join('\n').toStdString();
    EXPECT_EQ(client.terminate(), 0);
    ASSERT_EQ(requestsTo(server, "/api/user/keyLogin"), 1);

    // No key this time: the stored token signs the second life in, without a key login.
    server.clearRequests();
    client.clearLines();
    client.captureStandardError();
    client.start(QString());
    ASSERT_TRUE(client.waitFor("scheduler start .* restored=true", 1, 90s))
        << client.lines().join('\n').toStdString() << client.standardError().toStdString();
    EXPECT_EQ(requestsTo(server, "/api/user/keyLogin"), 0);
    EXPECT_GE(requestsTo(server, "/api/token/check"), 1);
    EXPECT_EQ(client.countMatching("\\[TASK\\] fetched id=T1 "), 1);
    EXPECT_EQ(client.terminate(), 0);
}

TEST(Headless, ASignInThatEndsBetweenTasksNamesTheReason) {
    DevServerProcess server;
    // The sign-in's own token check passes; the engine's first check finds the sign-in over.
    server.addFault({{"path", "/api/token/check"}, {"code", 401}, {"after", 1}});
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(60s), 3);
    // (QStringList::indexOf wants a regular expression to match whole lines.)
    const auto reason = client.lines().indexOf(
        QRegularExpression(QStringLiteral(".*\\[AUTH\\] token unavailable; stopping engine")));
    ASSERT_GE(reason, 0) << client.lines().join('\n').toStdString();
    EXPECT_GT(client.lines().indexOf(QRegularExpression(QStringLiteral(".*main loop exited"))),
              reason);
    // Its last word on standard error. System-log lines may come on either side of it: the GPU
    // probe writes its own from another thread, which a busy machine may run late.
    QList<QByteArray> ownLines;
    for (const QByteArray& line : client.standardError().trimmed().split('\n')) {
        if (line.startsWith("corvanta-headless: ")) {
            ownLines.append(line);
        }
    }
    ASSERT_FALSE(ownLines.isEmpty()) << client.standardError().toStdString();
    EXPECT_EQ(ownLines.last().toStdString(),
              "corvanta-headless: the engine stopped by itself: token unavailable; stopping "
              "engine (state stopped)");
}

TEST(Headless, AStopWhileSubmitsHangKeepsTheFoundNoncesForTheNextLife) {
    DevServerProcess server({"--difficulty", "5", "--reissue", "1"});
    server.addFault({{"path", "/api/device/pullTask"}, {"delayMs", 60000}, {"count", -1}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("📤 pullTask start id=T1 nonce=", 1, 90s))
        << client.lines().join('\n').toStdString();
    // Stopped once the submission hangs at the server.
    QElapsedTimer waited;
    waited.start();
    while (submissions(server, "T1").empty() && waited.elapsed() < 20'000) {
        QThread::msleep(50);
    }
    const auto sent = submissions(server, "T1");
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(client.terminate(), 0);
    EXPECT_EQ(client.countMatching("validation failed"), 0);

    const QString tasksDb = client.dataDirectory() + QStringLiteral("/corvanta_tasks.db");
    const QStringList stored =
        sqlite(tasksDb, QStringLiteral("SELECT candidate_nonces FROM task_progress;"));
    ASSERT_EQ(stored.size(), 1);
    const auto candidates = nlohmann::json::parse(stored.first().toStdString());
    // The nonce whose submission hung is among them.
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), sent.front().first), candidates.end())
        << stored.first().toStdString();

    // The next life submits a kept nonce first and solves the task with it.
    server.clearFaults();
    server.clearRequests();
    client.clearLines();
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=T1$", 1, 90s))
        << client.lines().join('\n').toStdString();
    const auto resent = submissions(server, "T1");
    ASSERT_FALSE(resent.empty());
    EXPECT_NE(std::find(candidates.begin(), candidates.end(), resent.front().first),
              candidates.end());
    EXPECT_EQ(client.terminate(), 0);
}

TEST(Headless, ALostReplyToAnAcceptedSubmissionIsSentAgainAndTheTaskEndsVerified) {
    DevServerProcess server({"--difficulty", "5"});
    // The backend accepts the first submission, and its reply never arrives.
    server.addFault({{"path", "/api/device/pullTask"}, {"reply", "lost"}});
    HeadlessProcess client(server.url());
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor("\\[TASK\\] ✅ verified id=T1$", 1, 90s))
        << client.lines().join('\n').toStdString();
    const auto sent = submissions(server, "T1");
    ASSERT_GE(sent.size(), 2u);
    EXPECT_TRUE(sent.front().second);
    const auto tasks = server.tasks();
    ASSERT_FALSE(tasks.empty());
    EXPECT_EQ(tasks[0]["accepted"].get<std::uint64_t>(), sent.front().first);
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(),
                            [&](const auto& s) { return s.first == sent.front().first; }),
              2);
    EXPECT_EQ(client.countMatching(
                  QStringLiteral("✅ pullTask ok id=T1 nonce=%1$").arg(sent.front().first)),
              1);
    EXPECT_EQ(client.terminate(), 0);
}

TEST(Headless, ASecondClientOnTheProfileLeavesItToTheFirst) {
    DevServerProcess server({"--difficulty", "12"});
    HeadlessProcess first(server.url());
    first.start(server.demoKey());
    ASSERT_TRUE(first.waitFor("claim segment=1 ", 1, 90s));

    HeadlessProcess second(server.url(), first.homeDirectory());
    second.captureStandardError();
    second.start(server.demoKey());
    EXPECT_EQ(second.waitForExit(30s), 4);
    EXPECT_EQ(second.standardError().toStdString(),
              QStringLiteral("corvanta-headless: another Corvanta client is already running on "
                             "this profile (pid %1)\n")
                  .arg(first.processId())
                  .toStdString());
    EXPECT_TRUE(second.lines().isEmpty());
    EXPECT_EQ(requestsTo(server, "/api/user/keyLogin"), 1);

    ASSERT_TRUE(first.waitFor("claim segment=1 ", 1));
    EXPECT_EQ(first.terminate(), 0);
    // Every line the first client printed is in its run log, and nothing else is.
    const QStringList rows = sqlite(first.dataDirectory() + QStringLiteral("/corvanta_logs.db"),
                                    QStringLiteral("SELECT COUNT(*) FROM log_records;"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows.first().toInt(), first.lines().size());

    // The lock of a client that was killed does not keep the next one out.
    first.clearLines();
    first.start(server.demoKey());
    ASSERT_TRUE(first.waitFor("claim segment=1 ", 1, 90s));
    first.kill();
    second.start(server.demoKey());
    ASSERT_TRUE(second.waitFor("claim segment=1 ", 1, 90s));
    EXPECT_EQ(second.terminate(), 0);
}

// The terminal end of a pseudo-terminal: what the client writes to the other end, as lines.
class TerminalReader {
public:
    TerminalReader() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0) {
            ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        }
    }
    ~TerminalReader() {
        closeClientEnd();
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    bool isOpen() const { return master_ >= 0; }
    int clientEnd() const { return slave_; }
    // Once the client has its copy.
    void closeClientEnd() {
        if (slave_ >= 0) {
            ::close(slave_);
            slave_ = -1;
        }
    }
    const QStringList& lines() {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(master_, buffer, sizeof buffer)) > 0) {
            partial_.append(buffer, count);
        }
        qsizetype newline = 0;
        while ((newline = partial_.indexOf('\n')) >= 0) {
            // The terminal turns each line end into CR LF.
            lines_.append(QString::fromUtf8(partial_.left(newline)).remove(u'\r'));
            partial_.remove(0, newline + 1);
        }
        return lines_;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QByteArray partial_;
    QStringList lines_;
};

TEST(Headless, WritesAStatusLineToATerminalAndNowhereElse) {
    DevServerProcess server({"--difficulty", "6"});
    const QRegularExpression status(QStringLiteral(
        "^corvanta-headless: state=(\\w+) rate=([0-9.]+[KM]?/s) task=(\\S+) progress=(\\S+)$"));

    // Standard error on a terminal: the line comes at the interval the variable asks for, with
    // the engine's state, its rate, the task and how far it has come.
    TerminalReader terminal;
    ASSERT_TRUE(terminal.isOpen());
    HeadlessProcess watched(server.url());
    watched.setEnvironment(QStringLiteral("CORVANTA_STATUS_INTERVAL_MS"), QStringLiteral("250"));
    watched.setStandardErrorDescriptor(terminal.clientEnd());
    watched.start(server.demoKey());
    terminal.closeClientEnd();
    QString searching;
    ASSERT_TRUE(processEventsUntil(
        [&] {
            watched.lines();
            for (const QString& line : terminal.lines()) {
                const auto match = status.match(line);
                if (match.hasMatch() && match.captured(1) == QStringLiteral("running") &&
                    match.captured(2) != QStringLiteral("0/s") &&
                    match.captured(3).startsWith(u'T') && match.captured(4).endsWith(u'%')) {
                    searching = line;
                    return true;
                }
            }
            return false;
        },
        90s))
        << terminal.lines().join('\n').toStdString();
    // Every line on the terminal is a status line or the system log's; none reaches standard
    // output.
    for (const QString& line : terminal.lines()) {
        EXPECT_FALSE(line.contains(QStringLiteral("[TASK]"))) << line.toStdString();
    }
    EXPECT_EQ(watched.countMatching(QStringLiteral("state=")), 0);
    EXPECT_EQ(watched.terminate(), 0);

    // Standard error on a pipe (a journal, a file): no status line at all.
    HeadlessProcess piped(server.url());
    piped.setEnvironment(QStringLiteral("CORVANTA_STATUS_INTERVAL_MS"), QStringLiteral("250"));
    piped.captureStandardError();
    piped.start(server.demoKey());
    ASSERT_TRUE(piped.waitFor(QStringLiteral("throughput workers="), 2, 90s));
    EXPECT_EQ(piped.terminate(), 0);
    EXPECT_FALSE(piped.standardError().contains("state=")) << piped.standardError().toStdString();
}

}  // namespace
}  // namespace corvanta::testing
