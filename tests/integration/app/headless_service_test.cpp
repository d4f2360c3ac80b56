// corvanta-headless as a fleet runs it: the command line, the service manager's socket and the
// metrics endpoint, each against the real program.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <optional>

#include <nlohmann/json.hpp>

#include "headless_process.h"
#include "metrics_scrape.h"
#include "support/devserver_process.h"
#include "support/qt_printers.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// A datagram socket bound in a folder of its own, where the client's service-manager messages
// arrive when its path is handed over in NOTIFY_SOCKET.
class NotifySocket {
public:
    NotifySocket() {
        path_ = folder_.filePath(QStringLiteral("notify"));
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = QFile::encodeName(path_);
        std::memcpy(address.sun_path, bytes.constData(), static_cast<std::size_t>(bytes.size()));
        bound_ = fd_ >= 0 &&
                 ::bind(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool isBound() const { return bound_; }
    const QString& path() const { return path_; }

    // Every message that has arrived so far, oldest first.
    const QStringList& messages() {
        char buffer[4096];
        ssize_t size = 0;
        while ((size = ::recv(fd_, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) {
            messages_.append(QString::fromUtf8(buffer, size));
        }
        return messages_;
    }
    int countContaining(const QString& text) {
        int count = 0;
        for (const QString& message : messages()) {
            count += message.split('\n').contains(text) ? 1 : 0;
        }
        return count;
    }
    QStringList statuses() {
        QStringList found;
        for (const QString& message : messages()) {
            for (const QString& line : message.split('\n')) {
                if (line.startsWith(QStringLiteral("STATUS="))) {
                    found.append(line.mid(7));
                }
            }
        }
        return found;
    }

private:
    QTemporaryDir folder_;
    QString path_;
    int fd_ = -1;
    bool bound_ = false;
    QStringList messages_;
};

// Waits, reading the client's output so that it never blocks on a full pipe, until `done`.
template <typename Done>
bool waitUntil(HeadlessProcess& client, Done done, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < limit.count()) {
        if (done()) {
            return true;
        }
        client.readFor(50ms);
    }
    return done();
}

// A loopback port nobody listens on at the moment.
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The program with `arguments`, a profile in a fresh HOME and a backend that counts requests;
// returns exit code and standard output.
struct Finished {
    int exitCode = -1;
    QString output;
    QString errors;
};

Finished runWith(const QStringList& arguments, const QString& home, const QString& baseUrl) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("CORVANTA_API_BASE_URL"), baseUrl);
    env.insert(QStringLiteral("CORVANTA_KEY"), QStringLiteral("corvanta-demo-key"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(CORVANTA_HEADLESS_PATH), arguments);
    Finished finished;
    if (process.waitForFinished(20'000) && process.exitStatus() == QProcess::NormalExit) {
        finished.exitCode = process.exitCode();
    }
    finished.output = QString::fromUtf8(process.readAllStandardOutput());
    finished.errors = QString::fromUtf8(process.readAllStandardError());
    return finished;
}

TEST(HeadlessService, HelpAndVersionAnswerWithoutProfileOrNetwork) {
    DevServerProcess server;
    QTemporaryDir home;

    const Finished help = runWith({QStringLiteral("--help")}, home.path(), server.url());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith(QStringLiteral("Usage: corvanta-headless")));
    for (const char* variable :
         {"CORVANTA_KEY", "CORVANTA_API_BASE_URL", "CORVANTA_METRICS_ADDR",
          "CORVANTA_OPENCL_DEVICE", "CORVANTA_SHA256_IMPL", "CORVANTA_RUN_LOG_FILE_LIMIT_BYTES",
          "CORVANTA_STATUS_INTERVAL_MS", "CORVANTA_RESTART_DELAY_SCALE", "DBUS_SYSTEM_BUS_ADDRESS",
          "NOTIFY_SOCKET", "WATCHDOG_USEC"}) {
        EXPECT_TRUE(help.output.contains(QLatin1String(variable))) << variable;
    }
    for (const char* code : {"\n  0 ", "\n  1 ", "\n  2 ", "\n  3 ", "\n  4 ", "\n  64 "}) {
        EXPECT_TRUE(help.output.contains(QLatin1String(code))) << "exit status" << code;
    }
    EXPECT_EQ(runWith({QStringLiteral("-h")}, home.path(), server.url()).output, help.output);

    const Finished version = runWith({QStringLiteral("--version")}, home.path(), server.url());
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^corvanta-headless \\d+\\.\\d+\\.\\d+\n$"))
                    .match(version.output)
                    .hasMatch())
        << version.output.toStdString();

    const Finished unknown = runWith({QStringLiteral("--frobnicate")}, home.path(), server.url());
    EXPECT_EQ(unknown.exitCode, 64);
    EXPECT_TRUE(unknown.errors.contains(QStringLiteral("--frobnicate")));

    // Not a file of the profile, not a request: the key in the environment was not used.
    EXPECT_TRUE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty())
        << QDir(home.path())
               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
               .join(' ')
               .toStdString();
    EXPECT_TRUE(server.requests().empty()) << server.requests().dump();
}

TEST(HeadlessService, TellsTheServiceManagerItsStateAndAnswersTheWatchdog) {
    NotifySocket manager;
    ASSERT_TRUE(manager.isBound());
    DevServerProcess server({"--difficulty", "4"});
    HeadlessProcess client(server.url());
    client.setEnvironment(QStringLiteral("NOTIFY_SOCKET"), manager.path());
    // A one-second watchdog for any process (no WATCHDOG_PID): pings every half second.
    client.setEnvironment(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
    client.start(server.demoKey());

    ASSERT_TRUE(waitUntil(
        client, [&] { return manager.countContaining(QStringLiteral("READY=1")) == 1; }, 60s))
        << manager.messages().join(" | ").toStdString();
    // READY=1 comes with the engine running, and the first status says so.
    const QStringList early = manager.statuses();
    ASSERT_GE(early.size(), 2);
    EXPECT_EQ(early.first(), QStringLiteral("signing in"));
    EXPECT_TRUE(early.last().startsWith(QStringLiteral("running, "))) << early.last().toStdString();

    // A status every few seconds, with a rate, while the watchdog keeps hearing from it.
    const int watchdogBefore = manager.countContaining(QStringLiteral("WATCHDOG=1"));
    const qsizetype statusesBefore = manager.statuses().size();
    ASSERT_TRUE(waitUntil(
        client, [&] { return manager.statuses().size() >= statusesBefore + 2; }, 20s))
        << manager.messages().join(" | ").toStdString();
    EXPECT_GE(manager.countContaining(QStringLiteral("WATCHDOG=1")), watchdogBefore + 4);
    const QRegularExpression status(QStringLiteral("^(starting|running, [0-9.]+[KMG]?/s)$"));
    for (const QString& line : manager.statuses().mid(1)) {
        EXPECT_TRUE(status.match(line).hasMatch()) << line.toStdString();
    }

    EXPECT_EQ(client.terminate(), 0);
    EXPECT_EQ(manager.countContaining(QStringLiteral("READY=1")), 1);
    EXPECT_EQ(manager.countContaining(QStringLiteral("STOPPING=1")), 1);
}

TEST(HeadlessService, ServesPrometheusMetricsOnExactlyTheAddressGiven) {
    DevServerProcess server({"--difficulty", "6"});
    HeadlessProcess client(server.url());
    const QString address = QStringLiteral("127.0.0.1:%1").arg(freePort());
    client.setEnvironment(QStringLiteral("CORVANTA_METRICS_ADDR"), address);
    client.start(server.demoKey());
    ASSERT_TRUE(client.waitFor(QStringLiteral("scheduler start"), 1, 60s));

    // Scrapes while tasks run, until one has been solved and accepted.
    std::vector<MetricsScrape> scrapes;
    ASSERT_TRUE(waitUntil(
        client,
        [&] {
            scrapes.push_back(MetricsScrape::of(address));
            client.readFor(300ms);
            return scrapes.back().value("corvanta_tasks_total", {{"outcome", "solved"}}) >= 1 &&
                   scrapes.size() >= 3;
        },
        90s));
    const MetricsScrape& last = scrapes.back();
    ASSERT_TRUE(last.ok);

    // The families and their labels, as a dashboard relies on them (the parser names a counter
    // family without its _total).
    const std::map<std::string, std::string> types = {
        {"corvanta_nonces_searched", "counter"}, {"corvanta_nonce_rate", "gauge"},
        {"corvanta_tasks", "counter"},           {"corvanta_candidates", "counter"},
        {"corvanta_engine_state", "gauge"},      {"corvanta_lanes", "gauge"},
        {"corvanta_advice_reason", "gauge"},     {"corvanta_build_info", "gauge"}};
    for (const auto& [name, type] : types) {
        EXPECT_EQ(last.types.count(name) ? last.types.at(name) : "missing", type) << name;
    }
    EXPECT_GE(last.value("corvanta_tasks_total", {{"outcome", "failed"}}), 0);
    EXPECT_GE(last.value("corvanta_candidates_total", {{"result", "submitted"}}), 1);
    EXPECT_GE(last.value("corvanta_candidates_total", {{"result", "accepted"}}), 1);
    EXPECT_GE(last.value("corvanta_candidates_total", {{"result", "refused"}}), 0);
    EXPECT_EQ(last.samples.at("corvanta_candidates_total").size(), 3u);
    EXPECT_EQ(last.samples.at("corvanta_tasks_total").size(), 2u);
    double states = 0;
    for (const char* state : {"running", "paused", "stopped", "waiting_key", "restarting"}) {
        const double value = last.value("corvanta_engine_state", {{"state", state}});
        EXPECT_TRUE(value == 0 || value == 1) << state;
        states += value;
    }
    EXPECT_EQ(last.samples.at("corvanta_engine_state").size(), 5u);
    EXPECT_EQ(last.value("corvanta_engine_state", {{"state", "running"}}), 1);
    EXPECT_EQ(states, 1);
    EXPECT_GE(last.value("corvanta_lanes", {{"kind", "cpu"}}), 0);
    EXPECT_GE(last.value("corvanta_lanes", {{"kind", "gpu"}}), 0);
    double reasons = 0;
    for (const auto& [labels, value] : last.samples.at("corvanta_advice_reason")) {
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(labels.begin()->first, "reason");
        reasons += value;
    }
    EXPECT_EQ(reasons, 1);
    ASSERT_EQ(last.samples.at("corvanta_build_info").size(), 1u);
    EXPECT_EQ(last.samples.at("corvanta_build_info").begin()->first.at("version"),
              QStringLiteral(CORVANTA_EXPECTED_VERSION).toStdString());

    // The counters rose while the tasks ran, and a rate and lanes were shown on the way.
    bool rateSeen = false;
    bool lanesSeen = false;
    for (std::size_t i = 1; i < scrapes.size(); ++i) {
        EXPECT_GE(scrapes[i].value("corvanta_nonces_searched_total"),
                  scrapes[i - 1].value("corvanta_nonces_searched_total"));
        rateSeen = rateSeen || scrapes[i].value("corvanta_nonce_rate") > 0;
        lanesSeen = lanesSeen || scrapes[i].value("corvanta_lanes", {{"kind", "cpu"}}) +
                                         scrapes[i].value("corvanta_lanes", {{"kind", "gpu"}}) >
                                     0;
    }
    EXPECT_GT(last.value("corvanta_nonces_searched_total"),
              scrapes.front().value("corvanta_nonces_searched_total"));
    EXPECT_TRUE(rateSeen);
    EXPECT_TRUE(lanesSeen);

    // Bound to 127.0.0.1 alone: another loopback address of the same machine finds nothing.
    QTcpSocket other;
    other.connectToHost(QStringLiteral("127.0.0.2"), address.section(':', 1).toUShort());
    EXPECT_FALSE(other.waitForConnected(3000));

    EXPECT_EQ(client.terminate(), 0);
}

TEST(HeadlessService, RefusesAMetricsAddressThatIsNotOneAddressAndPort) {
    DevServerProcess server;
    for (const char* address : {"9464", "localhost:9464", "0.0.0.0", "127.0.0.1:0", "::1:9464"}) {
        HeadlessProcess client(server.url());
        client.captureStandardError();
        client.setEnvironment(QStringLiteral("CORVANTA_METRICS_ADDR"), QLatin1String(address));
        client.start(server.demoKey());
        EXPECT_EQ(client.waitForExit(20s), 1) << address;
        EXPECT_TRUE(client.standardError().contains("CORVANTA_METRICS_ADDR")) << address;
    }
    // An address in use is named too.
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    HeadlessProcess client(server.url());
    client.captureStandardError();
    client.setEnvironment(QStringLiteral("CORVANTA_METRICS_ADDR"),
                          QStringLiteral("127.0.0.1:%1").arg(holder.serverPort()));
    client.start(server.demoKey());
    EXPECT_EQ(client.waitForExit(20s), 1);
    EXPECT_TRUE(client.standardError().contains("cannot serve metrics on 127.0.0.1:"))
        << client.standardError().toStdString();
}

}  // namespace
}  // namespace corvanta::testing
