#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "headless_process.h"
#include "metrics_scrape.h"
#include "support/devserver_process.h"
#include "support/qt_printers.h"

namespace corvanta::testing {
namespace {

using namespace std::chrono_literals;

// The window program on a private profile, drawn offscreen, talking to `server`.
QProcessEnvironment windowEnvironment(const QString& home, const QString& baseUrl) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("CORVANTA_API_BASE_URL"), baseUrl);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    env.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return env;
}

TEST(WindowInstance, ASecondWindowBringsTheFirstToTheFrontAndLeaves) {
    DevServerProcess server;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir().mkdir(home.filePath(QStringLiteral("runtime")),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const auto env = windowEnvironment(home.path(), server.url());

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(QStringLiteral(CORVANTA_WINDOW_PATH), {});
    ASSERT_TRUE(first.waitForStarted(10'000));
    // It answers once its socket is there.
    QDir runtime(home.filePath(QStringLiteral("runtime")));
    QElapsedTimer waited;
    waited.start();
    while (runtime.entryList({QStringLiteral("corvanta-*.sock")}, QDir::System).isEmpty() &&
           first.state() == QProcess::Running && waited.elapsed() < 60'000) {
        first.waitForFinished(100);
    }
    ASSERT_EQ(first.state(), QProcess::Running);
    ASSERT_FALSE(runtime.entryList({QStringLiteral("corvanta-*.sock")}, QDir::System).isEmpty());

    QProcess second;
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::ForwardedChannels);
    second.start(QStringLiteral(CORVANTA_WINDOW_PATH), {});
    ASSERT_TRUE(second.waitForFinished(30'000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // A headless client on the window's profile leaves as well, naming the window.
    HeadlessProcess headless(server.url(), home.path());
    headless.captureStandardError();
    headless.start(server.demoKey());
    EXPECT_EQ(headless.waitForExit(30s), 4);
    EXPECT_EQ(headless.standardError().toStdString(),
              QStringLiteral("corvanta-headless: another Corvanta client is already running on "
                             "this profile (pid %1)\n")
                  .arg(first.processId())
                  .toStdString());

    ::kill(static_cast<pid_t>(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(30'000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
}

TEST(WindowInstance, ServesMetricsWhenAskedTo) {
    DevServerProcess server;
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir().mkdir(home.filePath(QStringLiteral("runtime")),
                             QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    auto env = windowEnvironment(home.path(), server.url());
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    env.insert(QStringLiteral("CORVANTA_METRICS_ADDR"), address);

    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedChannels);
    window.start(QStringLiteral(CORVANTA_WINDOW_PATH), {});
    ASSERT_TRUE(window.waitForStarted(10'000));
    MetricsScrape scrape;
    QElapsedTimer waited;
    waited.start();
    while (!scrape.ok && window.state() == QProcess::Running && waited.elapsed() < 60'000) {
        window.waitForFinished(200);
        scrape = MetricsScrape::of(address, true);
    }
    ASSERT_TRUE(scrape.ok);
    // Signed out: the engine has not started, so no state is current yet.
    EXPECT_EQ(scrape.samples.at("corvanta_engine_state").size(), 5u);
    EXPECT_EQ(scrape.value("corvanta_engine_state", {{"state", "running"}}), 0);
    EXPECT_EQ(scrape.value("corvanta_nonces_searched_total"), 0);
    EXPECT_EQ(scrape.samples.at("corvanta_build_info").size(), 1u);

    ::kill(static_cast<pid_t>(window.processId()), SIGTERM);
    EXPECT_TRUE(window.waitForFinished(30'000));
}

}  // namespace
}  // namespace corvanta::testing
