// The tray's menu, icon and close rules, driven through the tray's view model and the tray
// icon's own actions. The offscreen platform has no tray, so the tests say where one is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "backend/auth_repository.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "tasks/task_orchestrator.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"
#include "ui/tray_icon.h"
#include "ui/tray_view_model.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using testing::DevServerProcess;
using testing::processEventsFor;
using testing::processEventsUntil;
using testing::runSync;

TEST(Tray, EveryStateHasItsOwnPicture) {
    // Drawn side by side at a tray's size and at twice that, for a look in the screenshots.
    QSet<QString> sources;
    QImage strip(4 * 66, 44, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    int x = 0;
    for (const auto state :
         {TrayState::running, TrayState::paused, TrayState::stopped, TrayState::restarting}) {
        const QString source = TrayViewModel::iconSourceFor(state);
        sources.insert(source);
        EXPECT_FALSE(QIcon(source).pixmap(22, 22).isNull()) << source.toStdString();
        painter.drawPixmap(x, 11, QIcon(source).pixmap(22, 22));
        painter.drawPixmap(x + 22, 0, QIcon(source).pixmap(44, 44));
        x += 66;
    }
    painter.end();
    EXPECT_EQ(sources.size(), 4);
    QDir().mkpath(QStringLiteral(CORVANTA_SCREENSHOT_DIR));
    EXPECT_TRUE(strip.save(QStringLiteral(CORVANTA_SCREENSHOT_DIR "/tray_icons.png")));
    EXPECT_EQ(TrayViewModel::stateFor(true, tasks::EngineState::restarting), TrayState::restarting);
    EXPECT_EQ(TrayViewModel::stateFor(false, tasks::EngineState::waitingKey), TrayState::stopped);
}

TEST(Tray, TheMenuDrivesTheEngineAndTheIconFollowsIt) {
    DevServerProcess server({"--difficulty", "6"});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    app::AppDependency deps;
    migrateLanguageToEnglish(deps.settings());
    deps.settings().remove(QLatin1String(TrayViewModel::kCloseNoticeShownKey));
    // The offscreen desktop has no tray; this window behaves as if its icon were in one.
    EXPECT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    DesktopApplication desktop(app::windowServices(deps), {.hasTray = true, .startInTray = false});
    ASSERT_TRUE(desktop.load());
    QQuickWindow* window = desktop.window();
    ASSERT_TRUE(window->isVisible());
    auto& tray = desktop.tray();
    TrayIcon icon(tray);
    auto& orchestrator = deps.orchestrator();

    // Signed out: stopped, and nothing to pause or resume.
    EXPECT_EQ(tray.state(), TrayState::stopped);
    EXPECT_FALSE(icon.pauseResumeAction().isEnabled());
    EXPECT_EQ(icon.icon().toolTip(), QStringLiteral("Corvanta · Stopped"));

    runSync(deps.authRepository().login(server.demoKey()));
    ASSERT_TRUE(processEventsUntil([&] { return tray.state() == TrayState::running; }, 30s));
    EXPECT_EQ(tray.iconSource(), QStringLiteral(":/icons/tray_running.svg"));
    EXPECT_TRUE(icon.pauseResumeAction().isEnabled());
    EXPECT_EQ(icon.pauseResumeAction().text(), QStringLiteral("Pause"));
    // The tooltip carries the rate and the task once the search has run for a moment.
    const QRegularExpression searching(
        QStringLiteral("^Corvanta · Running\\n[1-9][0-9.]*[KM]?/s · task T\\d+$"));
    ASSERT_TRUE(
        processEventsUntil([&] { return searching.match(icon.icon().toolTip()).hasMatch(); }, 60s))
        << icon.icon().toolTip().toStdString();

    // Pause, from the tray's menu.
    icon.pauseResumeAction().trigger();
    EXPECT_EQ(orchestrator.currentState(), tasks::EngineState::paused);
    EXPECT_EQ(tray.state(), TrayState::paused);
    EXPECT_EQ(tray.iconSource(), QStringLiteral(":/icons/tray_paused.svg"));
    EXPECT_EQ(icon.pauseResumeAction().text(), QStringLiteral("Resume"));
    EXPECT_EQ(icon.icon().toolTip(), QStringLiteral("Corvanta · Paused"));
    // Resume: the engine starts again once the paused loop has wound down.
    icon.pauseResumeAction().trigger();
    ASSERT_TRUE(processEventsUntil(
        [&] {
            return orchestrator.isRunning() &&
                   orchestrator.currentState() == tasks::EngineState::running;
        },
        30s));
    EXPECT_EQ(tray.state(), TrayState::running);
    EXPECT_EQ(icon.pauseResumeAction().text(), QStringLiteral("Pause"));

    // The backend's sign-in check fails: the icon shows the restart and the tooltip counts down
    // to it; Pause calls the restart off.
    server.addFault({{"path", "/api/token/check"}, {"status", 502}, {"count", -1}});
    ASSERT_TRUE(processEventsUntil([&] { return tray.state() == TrayState::restarting; }, 60s));
    EXPECT_EQ(tray.iconSource(), QStringLiteral(":/icons/tray_restarting.svg"));
    const int secondsLeft = orchestrator.restartSecondsLeft();
    EXPECT_EQ(icon.icon().toolTip(),
              QStringLiteral("Corvanta · Restarting in %1 s").arg(secondsLeft));
    EXPECT_TRUE(processEventsUntil(
        [&] {
            return icon.icon().toolTip() ==
                   QStringLiteral("Corvanta · Restarting in %1 s").arg(secondsLeft - 1);
        },
        5s))
        << icon.icon().toolTip().toStdString();
    EXPECT_EQ(icon.pauseResumeAction().text(), QStringLiteral("Pause"));
    icon.pauseResumeAction().trigger();
    EXPECT_EQ(orchestrator.currentState(), tasks::EngineState::paused);
    EXPECT_EQ(orchestrator.restartSecondsLeft(), 0);
    EXPECT_EQ(tray.state(), TrayState::paused);
    server.clearFaults();
    icon.pauseResumeAction().trigger();
    ASSERT_TRUE(processEventsUntil([&] { return tray.state() == TrayState::running; }, 30s));

    // Closing the window leaves the engine running in the tray, and says so the first time.
    // The application's own loop runs: a close that quit would end it before the time-out.
    // (Its end winds the window's services down, as a real quit does: the engine is looked at
    // before.)
    QSignalSpy notices(&tray, &TrayViewModel::notificationRequested);
    bool shownAfterClose = true;
    bool runningAfterClose = false;
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(500, qApp, [&] {
        shownAfterClose = window->isVisible();
        runningAfterClose = orchestrator.isRunning();
        QCoreApplication::exit(7);
    });
    EXPECT_EQ(QCoreApplication::exec(), 7);
    EXPECT_FALSE(shownAfterClose);
    EXPECT_TRUE(runningAfterClose);
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices.first().at(0).toString(), QStringLiteral("Corvanta is still running"));

    // Open Corvanta brings it back; a second close hides it without a notice.
    icon.openAction().trigger();
    ASSERT_TRUE(processEventsUntil([&] { return window->isVisible(); }, 5s));
    window->close();
    processEventsFor(200ms);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(notices.count(), 1);
    EXPECT_TRUE(deps.settings().value(QLatin1String(TrayViewModel::kCloseNoticeShownKey)).toBool());

    // Quit asks the program to end (main() quits the application on it).
    QSignalSpy quits(&tray, &TrayViewModel::quitRequested);
    icon.quitAction().trigger();
    EXPECT_EQ(quits.count(), 1);

    desktop.shutdown();
    processEventsFor(300ms);
}

TEST(Tray, AStartAtLoginStaysInTheTrayAndWithoutATrayTheWindowIsTheClient) {
    DevServerProcess server({"--difficulty", "6"});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    app::AppDependency deps;
    migrateLanguageToEnglish(deps.settings());
    deps.settings().remove(QLatin1String(TrayViewModel::kCloseNoticeShownKey));
    runSync(deps.authRepository().login(server.demoKey()));

    {
        // Started at login with a tray: no window, and the engine runs from the stored sign-in.
        DesktopApplication desktop(app::windowServices(deps),
                                   {.hasTray = true, .startInTray = true});
        ASSERT_TRUE(desktop.load());
        EXPECT_TRUE(desktop.tray().startsHidden());
        ASSERT_TRUE(processEventsUntil([&] { return deps.orchestrator().isRunning(); }, 30s));
        EXPECT_FALSE(desktop.window()->isVisible());
        desktop.tray().openWindow();
        EXPECT_TRUE(desktop.window()->isVisible());
        deps.orchestrator().stop();
        processEventsFor(300ms);
    }

    // Without a tray the same start shows the window, and closing it closes the client.
    DesktopApplication desktop(app::windowServices(deps), {.hasTray = false, .startInTray = true});
    ASSERT_TRUE(desktop.load());
    EXPECT_FALSE(desktop.tray().startsHidden());
    QQuickWindow* window = desktop.window();
    EXPECT_TRUE(window->isVisible());
    // Run in the application's own loop: the close ends it long before the time-out.
    QSignalSpy notices(&desktop.tray(), &TrayViewModel::notificationRequested);
    QTimer::singleShot(0, window, [window] { window->close(); });
    QTimer::singleShot(10'000, qApp, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(notices.count(), 0);
    desktop.shutdown();
    processEventsFor(300ms);
}

}  // namespace
}  // namespace corvanta::ui
