#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QMutex>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>

#include <nlohmann/json.hpp>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "backend/auth_repository.h"
#include "log/log_buffer_service.h"
#include "platform/battery_monitor.h"
#include "platform/string_table.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "tasks/engine_power_policy.h"
#include "tasks/task_orchestrator.h"
#include "ui/announcement_list_view_model.h"
#include "ui/app_shell_view_model.h"
#include "ui/dashboard_view_model.h"
#include "ui/desktop_application.h"
#include "ui/gauge_chart_view_model.h"
#include "ui/language_migration.h"
#include "ui/model_ranking_table_model.h"
#include "ui/run_log_view_model.h"
#include "ui/svg_icon_item.h"
#include "ui/token_production_chart_model.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using testing::DevServerProcess;
using testing::processEventsFor;
using testing::processEventsUntil;

// Every object of that name among the QObject children and the visual children of `root`, in
// the order met, each once.
void collectNamed(QObject* root, const QString& name, QList<QObject*>& found) {
    if (!root) {
        return;
    }
    if (root->objectName() == name && !found.contains(root)) {
        found.append(root);
    }
    for (QObject* child : root->children()) {
        collectNamed(child, name, found);
    }
    if (auto* item = qobject_cast<QQuickItem*>(root)) {
        for (QQuickItem* child : item->childItems()) {
            if (child->parent() != root) {
                collectNamed(child, name, found);
            }
        }
    }
}

QObject* findNamed(QObject* root, const QString& name) {
    QList<QObject*> found;
    collectNamed(root, name, found);
    return found.isEmpty() ? nullptr : found.first();
}

bool isShown(QObject* object) {
    auto* item = qobject_cast<QQuickItem*>(object);
    return item && item->isVisible() && item->width() > 0 && item->height() > 0;
}

// The first shown object of that name under `root`: a page that was left may linger hidden
// beside its replacement until it is deleted.
QObject* findShown(QObject* root, const QString& name) {
    QList<QObject*> found;
    collectNamed(root, name, found);
    for (QObject* object : found) {
        if (isShown(object)) {
            return object;
        }
    }
    return nullptr;
}

class Window {
public:
    explicit Window(QQuickWindow* window) : window_(window) {}

    QObject* find(const QString& name) const {
        if (QObject* shown = findShown(window_, name)) {
            return shown;
        }
        if (QObject* shown = findShown(window_->contentItem(), name)) {
            return shown;
        }
        if (QObject* found = findNamed(window_, name)) {
            return found;
        }
        return findNamed(window_->contentItem(), name);
    }

    bool waitShown(const QString& name, std::chrono::milliseconds limit = 20s) const {
        return processEventsUntil([&] { return isShown(find(name)); }, limit);
    }

    void click(const QString& name) const {
        QObject* target = find(name);
        ASSERT_NE(target, nullptr) << name.toStdString();
        ASSERT_TRUE(QMetaObject::invokeMethod(target, "clicked")) << name.toStdString();
    }

    // Saves the window as <build>/screenshots/<name>.png; fails when the picture is blank.
    void screenshot(const QString& name) const {
        processEventsFor(150ms);
        const QImage image = window_->grabWindow();
        ASSERT_FALSE(image.isNull()) << name.toStdString();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 4) {
            for (int x = 0; x < image.width(); x += 4) {
                colours.insert(image.pixel(x, y));
                if (colours.size() > 40) {
                    break;
                }
            }
        }
        EXPECT_GT(colours.size(), 40) << name.toStdString() << " looks blank";
        QDir().mkpath(QStringLiteral(CORVANTA_SCREENSHOT_DIR));
        EXPECT_TRUE(image.save(QStringLiteral(CORVANTA_SCREENSHOT_DIR "/") + name +
                               QStringLiteral(".png")));
    }

    QQuickWindow* window_;
};

TEST(DesktopWindow, SignsInSwitchesPagesAndRunsTheEngine) {
    DevServerProcess server({"--difficulty", "6"});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());

    app::AppDependency deps;
    migrateLanguageToEnglish(deps.settings());
    DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    Window window(desktop.window());

    // Signed out: the login page at its own size.
    ASSERT_TRUE(window.waitShown(QStringLiteral("loginPage")));
    EXPECT_EQ(desktop.window()->width(), 520);
    EXPECT_EQ(desktop.window()->height(), 420);
    window.screenshot(QStringLiteral("login"));

    // A blank key is refused on the page.
    window.click(QStringLiteral("connectButton"));
    EXPECT_TRUE(isShown(window.find(QStringLiteral("loginError"))));

    // The agreement's privacy link opens the page in a sheet.
    QObject* agreement = window.find(QStringLiteral("agreementText"));
    ASSERT_NE(agreement, nullptr);
    QMetaObject::invokeMethod(agreement, "linkActivated",
                              Q_ARG(QString, QStringLiteral("corvanta-auth-action://part/1")));
    ASSERT_TRUE(window.waitShown(QStringLiteral("contentText")));
    ASSERT_TRUE(processEventsUntil([&] {
        return !window.find(QStringLiteral("contentText"))->property("text").toString().isEmpty();
    }));
    window.screenshot(QStringLiteral("content_page"));
    window.click(QStringLiteral("contentCloseButton"));
    ASSERT_TRUE(processEventsUntil(
        [&] { return !isShown(window.find(QStringLiteral("contentText"))); }, 10s));

    // Sign in with the demo key through the field and the button.
    QObject* keyField = window.find(QStringLiteral("keyField"));
    ASSERT_NE(keyField, nullptr);
    keyField->setProperty("text", server.demoKey());
    window.click(QStringLiteral("connectButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("mainView")));
    EXPECT_TRUE(deps.authRepository().isAuthenticated());
    EXPECT_EQ(desktop.window()->width(), 1280);
    EXPECT_EQ(desktop.window()->height(), 720);
    EXPECT_NE(window.find(QStringLiteral("topBar")), nullptr);
    EXPECT_NE(window.find(QStringLiteral("connectionIndicator")), nullptr);
    EXPECT_NE(window.find(QStringLiteral("dashboardPage")), nullptr);
    // Signing in started the engine.
    ASSERT_TRUE(processEventsUntil([&] { return deps.orchestrator().isRunning(); }, 10s));
    // The indicator says so once the backend has answered.
    const auto indicator = [&] {
        return window.find(QStringLiteral("connectionLabel"))->property("text").toString();
    };
    EXPECT_TRUE(processEventsUntil(
        [&] { return indicator() == platform::localized(QStringLiteral("status_running")); }, 20s))
        << indicator().toStdString();

    window.click(QStringLiteral("module_device_info"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("devicePage")));
    for (const char* card :
         {"productCard", "processorCard", "memoryCard", "graphicsCard", "diskCard"}) {
        EXPECT_TRUE(isShown(window.find(QString::fromLatin1(card)))) << card;
    }
    processEventsFor(1200ms);
    window.screenshot(QStringLiteral("device"));

    // The run log: pause, then the button restarts the engine and new lines arrive.
    window.click(QStringLiteral("module_run_log"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("runLogPage")));
    auto& orchestrator = deps.orchestrator();
    ASSERT_TRUE(processEventsUntil(
        [&] { return orchestrator.currentState() == tasks::EngineState::running; }, 10s));
    window.click(QStringLiteral("startPauseButton"));
    EXPECT_EQ(orchestrator.currentState(), tasks::EngineState::paused);
    EXPECT_EQ(indicator(), QStringLiteral("Signed in · Paused"));
    EXPECT_FALSE(desktop.runLog().isPauseButton());
    auto* list = window.find(QStringLiteral("runLogList"));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(processEventsUntil([&] { return list->property("count").toInt() > 0; }, 10s));
    const int before = list->property("count").toInt();
    window.click(QStringLiteral("startPauseButton"));
    ASSERT_TRUE(processEventsUntil(
        [&] {
            return orchestrator.isRunning() &&
                   orchestrator.currentState() == tasks::EngineState::running &&
                   list->property("count").toInt() > before + 3;
        },
        30s));
    // The paused loop's end did not take the new run with it.
    processEventsFor(1500ms);
    EXPECT_TRUE(orchestrator.isRunning());
    EXPECT_TRUE(desktop.runLog().isPauseButton());
    window.screenshot(QStringLiteral("run_log"));

    // Scrolled away from the end: new lines are counted on the badge, which leads back.
    auto& runLog = desktop.runLog();
    EXPECT_FALSE(runLog.reportScroll(0, 400, 4000));
    // Lines come as segments end; a sanitizer build on a busy machine takes its time.
    ASSERT_TRUE(processEventsUntil([&] { return runLog.hiddenNewLineCount() > 0; }, 90s));
    ASSERT_TRUE(window.waitShown(QStringLiteral("newLogsBadge")));
    runLog.jumpToEnd();
    EXPECT_EQ(runLog.hiddenNewLineCount(), 0);
    EXPECT_TRUE(processEventsUntil(
        [&] { return !isShown(window.find(QStringLiteral("newLogsBadge"))); }, 5s));

    window.click(QStringLiteral("module_account_info"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("accountPage")));
    EXPECT_TRUE(isShown(window.find(QStringLiteral("keyRow"))));
    EXPECT_TRUE(isShown(window.find(QStringLiteral("versionRow"))));
    EXPECT_NE(window.find(QStringLiteral("autoLaunchSwitch")), nullptr);
    // "Pause on battery": off on a machine without a battery, and the user's to turn on.
    QObject* batterySwitch = window.find(QStringLiteral("pauseOnBatterySwitch"));
    ASSERT_NE(batterySwitch, nullptr);
    EXPECT_EQ(batterySwitch->property("checked").toBool(), deps.batteryMonitor().hasBattery());
    // As a click does it: the switch flips, then says it was toggled.
    ASSERT_TRUE(QMetaObject::invokeMethod(batterySwitch, "toggle"));
    ASSERT_TRUE(QMetaObject::invokeMethod(batterySwitch, "toggled"));
    EXPECT_EQ(deps.powerPolicy().pauseOnBattery(), !deps.batteryMonitor().hasBattery());
    EXPECT_EQ(deps.settings().value(QStringLiteral("pauseOnBattery")).toBool(),
              !deps.batteryMonitor().hasBattery());
    window.screenshot(QStringLiteral("account"));

    // An update offered by the backend covers the window.
    server.configure({{"versionReply", "optional"}});
    deps.updateManager().requestCheck();
    ASSERT_TRUE(window.waitShown(QStringLiteral("updatePrompt")));
    window.screenshot(QStringLiteral("update_prompt"));
    window.click(QStringLiteral("updateCloseButton"));
    EXPECT_FALSE(deps.updateManager().hasUpdate());

    // The backend's sign-in check fails: the indicator counts down to the engine's restart.
    server.addFault({{"path", "/api/token/check"}, {"status", 502}, {"count", -1}});
    ASSERT_TRUE(processEventsUntil(
        [&] { return orchestrator.currentState() == tasks::EngineState::restarting; }, 60s));
    const int secondsLeft = orchestrator.restartSecondsLeft();
    EXPECT_GT(secondsLeft, 20);
    EXPECT_LE(secondsLeft, 30);
    EXPECT_EQ(indicator(), QStringLiteral("Signed in · Restarting in %1 s").arg(secondsLeft));
    EXPECT_TRUE(processEventsUntil(
        [&] {
            return indicator() ==
                   QStringLiteral("Signed in · Restarting in %1 s").arg(secondsLeft - 1);
        },
        5s))
        << indicator().toStdString();
    window.screenshot(QStringLiteral("restarting"));
    server.clearFaults();

    // Log out takes two clicks; the engine stops, the key is released, the login page returns.
    const auto releases = [&] {
        return deps.logBuffer().logLines().filter(QStringLiteral("[AUTH] key released")).size();
    };
    processEventsFor(200ms);
    const auto releasedBefore = releases();
    window.click(QStringLiteral("logoutButton"));
    EXPECT_TRUE(deps.authRepository().isAuthenticated());
    window.click(QStringLiteral("logoutButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("loginPage")));
    EXPECT_FALSE(orchestrator.isRunning());
    EXPECT_EQ(orchestrator.corvantaKey(), QString());
    EXPECT_EQ(orchestrator.deviceId(), 0);
    EXPECT_TRUE(processEventsUntil([&] { return releases() > releasedBefore; }, 5s));

    desktop.shutdown();
    EXPECT_FALSE(deps.updateManager().isAutoChecking());
    // Let the engine's loop wind down before the services go.
    processEventsFor(300ms);
}

// Lines written to the system log under corvanta.dashboard while a test runs.
class DashboardLogCapture {
public:
    DashboardLogCapture() {
        lines().clear();
        previous() = qInstallMessageHandler(&DashboardLogCapture::handle);
    }
    ~DashboardLogCapture() { qInstallMessageHandler(previous()); }

    static QStringList taken() {
        QMutexLocker lock(&mutex());
        return lines();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (context.category && QLatin1String(context.category) == "corvanta.dashboard") {
            QMutexLocker lock(&mutex());
            lines() << text;
        }
        if (previous()) {
            previous()(type, context, text);
        }
    }
    static QStringList& lines() {
        static QStringList list;
        return list;
    }
    static QtMessageHandler& previous() {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static QMutex& mutex() {
        static QMutex lock;
        return lock;
    }
};

TEST(DesktopWindow, DashboardShowsTheBackendsDataAndLeadsToTheAnnouncements) {
    DevServerProcess server;
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    DashboardLogCapture log;

    app::AppDependency deps;
    migrateLanguageToEnglish(deps.settings());
    DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    Window window(desktop.window());
    ASSERT_TRUE(window.waitShown(QStringLiteral("loginPage")));
    QObject* keyField = window.find(QStringLiteral("keyField"));
    ASSERT_NE(keyField, nullptr);
    keyField->setProperty("text", server.demoKey());
    window.click(QStringLiteral("connectButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("mainView")));
    // The engine is not what this test looks at: it gets the cores back at once.
    ASSERT_TRUE(processEventsUntil([&] { return deps.orchestrator().isRunning(); }, 10s));
    deps.orchestrator().stop();
    EXPECT_EQ(window.find(QStringLiteral("connectionLabel"))->property("text").toString(),
              QStringLiteral("Signed in · Stopped"));

    // The dashboard is the first page; showing it loaded the index.
    auto& dashboard = desktop.dashboard();
    auto& table = *dashboard.table();
    auto& chart = *dashboard.chart();
    auto& gauge = *dashboard.gauge();
    ASSERT_TRUE(processEventsUntil(
        [&] { return table.rowCount() == 4 && chart.points().size() == 7 && gauge.value() == 62; },
        20s));
    EXPECT_TRUE(dashboard.isActive());
    ASSERT_TRUE(processEventsUntil([&] {
        return DashboardLogCapture::taken().contains(
            QStringLiteral("loaded scarcity=62, notice=Welcome to Corvanta, recent=7, models=4"));
    }));
    for (const char* name :
         {"announcementBanner", "scarcityGauge", "gaugeNeedle", "contributionChart", "chartPlot",
          "modelRankingTable", "modelTableHeader", "modelRow_0", "modelRow_3"}) {
        EXPECT_TRUE(window.waitShown(QString::fromLatin1(name), 5s)) << name;
    }
    EXPECT_FALSE(isShown(window.find(QStringLiteral("chartNoData"))));
    // The legend beside the table's title says what each figure means, and what "--" means.
    EXPECT_TRUE(window.find(QStringLiteral("modelTableLegend"))
                    ->property("text")
                    .toString()
                    .endsWith(platform::localized(QStringLiteral("table_data_display"))));
    EXPECT_EQ(window.find(QStringLiteral("bannerAnnouncementTitle"))->property("text").toString(),
              QStringLiteral("Welcome to Corvanta"));
    EXPECT_FALSE(
        window.find(QStringLiteral("greetingText"))->property("text").toString().isEmpty());
    // Delta Open has neither speed nor latency; Cirrus Mini's price is $0.15.
    const QVariantList rows = table.property("rows").toList();
    EXPECT_EQ(rows[3].toMap().value(QStringLiteral("speed")).toString(), QStringLiteral("--"));
    EXPECT_EQ(rows[3].toMap().value(QStringLiteral("price")).toString(), QStringLiteral("$0.00"));
    EXPECT_EQ(rows[2].toMap().value(QStringLiteral("price")).toString(), QStringLiteral("$0.15"));
    EXPECT_EQ(rows[0].toMap().value(QStringLiteral("responseTime")).toString(),
              QStringLiteral("3.20"));

    // The needle and the total arrive where the data says.
    ASSERT_TRUE(
        processEventsUntil([&] { return !gauge.isAnimating() && !chart.isAnimating(); }, 10s));
    EXPECT_EQ(gauge.displayValue(), 62);
    EXPECT_EQ(chart.displayedContribution(), double(chart.contributionTotal()));
    EXPECT_EQ(window.find(QStringLiteral("gaugeLevel"))->property("text").toString(),
              platform::localized(QStringLiteral("gauge_tightening")));
    // Every model's icon came through the SVG cache and is drawn, not its stand-in.
    ASSERT_TRUE(processEventsUntil(
        [&] {
            QList<QObject*> icons;
            collectNamed(desktop.window()->contentItem(), QStringLiteral("modelIconSvg"), icons);
            int ready = 0;
            for (QObject* icon : icons) {
                ready +=
                    isShown(icon) && icon->property("status").toInt() == SvgIconItem::Status::Ready;
            }
            return ready == 4;
        },
        20s));
    // A highlighted point and row, as under the pointer.
    chart.setHoveredIndex(5);
    table.setHoveredRow(1);
    window.screenshot(QStringLiteral("dashboard"));
    chart.setHoveredIndex(-1);
    table.setHoveredRow(-1);

    const auto noticeListRequests = [&] {
        int count = 0;
        for (const auto& entry : server.requests()) {
            count += entry["path"] == "/api/index/noticeList" ? 1 : 0;
        }
        return count;
    };
    auto& list = *dashboard.announcementList();

    // The list: the banner's announcement at once, then the whole list.
    window.click(QStringLiteral("announcementListButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementListPage")));
    EXPECT_FALSE(isShown(window.find(QStringLiteral("dashboardMain"))));
    EXPECT_EQ(list.announcements().size(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return list.announcements().size() == 2; }));
    EXPECT_EQ(dashboard.cachedAnnouncements().size(), 2);
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementRow_1")));
    window.screenshot(QStringLiteral("announcement_list"));

    // A row's detail leads back to the list, which is not fetched again.
    dashboard.openAnnouncement(1);
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementDetailPage")));
    EXPECT_EQ(window.find(QStringLiteral("announcementTitle"))->property("text").toString(),
              QStringLiteral("Scheduled maintenance"));
    EXPECT_FALSE(
        window.find(QStringLiteral("announcementDate"))->property("text").toString().isEmpty());
    window.screenshot(QStringLiteral("announcement_detail"));
    const int fetched = noticeListRequests();
    EXPECT_EQ(fetched, 1);
    window.click(QStringLiteral("announcementBackButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementRow_1")));
    EXPECT_EQ(noticeListRequests(), fetched);
    window.click(QStringLiteral("announcementListBackButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("dashboardMain")));

    // The banner's announcement leads back to the dashboard.
    ASSERT_NE(window.find(QStringLiteral("bannerAnnouncement")), nullptr);
    dashboard.openBannerAnnouncement();
    ASSERT_TRUE(window.waitShown(QStringLiteral("announcementDetailPage")));
    EXPECT_EQ(dashboard.route(), DashboardRoute::AnnouncementDetail);
    EXPECT_EQ(dashboard.backTarget(), DashboardRoute::Dashboard);
    window.click(QStringLiteral("announcementBackButton"));
    ASSERT_TRUE(window.waitShown(QStringLiteral("dashboardMain")));

    // A second visit shows the cached list at once; an empty refresh shows the empty state.
    server.addFault(
        {{"path", "/api/index/noticeList"},
         {"delayMs", 300},
         {"body", R"({"code":1,"msg":"ok","data":{"code":1,"msg":"","time":"0","data":[]}})"}});
    window.click(QStringLiteral("announcementListButton"));
    EXPECT_EQ(list.announcements().size(), 2);
    ASSERT_TRUE(window.waitShown(QStringLiteral("noAnnouncement")));
    EXPECT_TRUE(list.isEmpty());
    window.click(QStringLiteral("announcementListBackButton"));

    // A failed load is logged and leaves the dashboard's data in place.
    server.addFault({{"path", "/api/index/index"}, {"status", 502}});
    window.click(QStringLiteral("module_device_info"));
    EXPECT_FALSE(dashboard.isActive());
    window.click(QStringLiteral("module_dashboard"));
    ASSERT_TRUE(processEventsUntil([&] {
        return !DashboardLogCapture::taken()
                    .filter(QStringLiteral("index load failed: "))
                    .isEmpty();
    }));
    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(gauge.value(), 62);

    desktop.shutdown();
    processEventsFor(300ms);
}

}  // namespace
}  // namespace corvanta::ui
