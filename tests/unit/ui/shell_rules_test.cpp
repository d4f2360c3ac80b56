#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "backend/display_records.h"
#include "platform/string_table.h"
#include "support/coro_test_util.h"
#include "ui/app_shell_view_model.h"
#include "ui/connection_status.h"
#include "ui/dashboard_route.h"
#include "ui/heading_font.h"
#include "ui/language_migration.h"
#include "ui/logout_button_model.h"
#include "ui/page_content_view_model.h"
#include "ui/responsive_layout.h"
#include "ui/run_log_view_model.h"
#include "ui/update_prompt_view_model.h"
#include "ui/window_module.h"
#include "update/app_update_manager.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using platform::localized;
using tasks::EngineState;
using testing::processEventsFor;
using testing::processEventsUntil;
using testing::runSync;

TEST(ResponsiveLayout, ScalesFromTheDesignWidthWithA1600Floor) {
    ResponsiveLayout layout;
    layout.setWidth(1280);
    EXPECT_DOUBLE_EQ(layout.s(1920), 1600);
    EXPECT_DOUBLE_EQ(layout.s(22), 22 * 1600.0 / 1920);
    layout.setWidth(2560);
    EXPECT_DOUBLE_EQ(layout.s(30), 40);
    EXPECT_DOUBLE_EQ(layout.factor(), 4.0 / 3);
    layout.setWidth(1920);
    EXPECT_DOUBLE_EQ(layout.s(16), 16);
}

TEST(AppShellViewModel, WindowSizeAndThemeRules) {
    EXPECT_EQ(AppShellViewModel::contentSizeFor(false, false), QSize(520, 420));
    EXPECT_EQ(AppShellViewModel::contentSizeFor(true, false), QSize(1280, 720));
    EXPECT_EQ(AppShellViewModel::contentSizeFor(false, true), QSize(1280, 720));
    EXPECT_FALSE(AppShellViewModel::isDarkTheme(QStringLiteral("theme_light"), true));
    EXPECT_TRUE(AppShellViewModel::isDarkTheme(QStringLiteral("theme_dark"), false));
    EXPECT_TRUE(AppShellViewModel::isDarkTheme(QStringLiteral("theme_system"), true));
    EXPECT_FALSE(AppShellViewModel::isDarkTheme(QStringLiteral("theme_system"), false));
    EXPECT_FALSE(AppShellViewModel::isDarkTheme(QStringLiteral("something"), true));

    // The window never outgrows the screen's free area: on a 1366 × 768 laptop with a 32-point
    // panel and a 30-point title bar the main view gets 1280 × 705 and scrolls.
    const QMargins frame(0, 30, 0, 1);
    EXPECT_EQ(AppShellViewModel::windowGeometryFor({1280, 720}, {0, 32, 1366, 736}, frame),
              QRect(43, 62, 1280, 705));
    EXPECT_EQ(AppShellViewModel::windowGeometryFor({520, 420}, {0, 32, 1366, 736}, frame),
              QRect(423, 204, 520, 420));
    EXPECT_EQ(AppShellViewModel::windowGeometryFor({1280, 720}, {1920, 0, 2560, 1440}, {}),
              QRect(2560, 360, 1280, 720));
}

TEST(LogoutButtonModel, ArmsThenSignsOutOrDisarmsAfterTheDelay) {
    int signOuts = 0;
    LogoutButtonModel button([&] { ++signOuts; }, nullptr, 100ms);
    button.click();
    EXPECT_TRUE(button.isArmed());
    EXPECT_TRUE(processEventsUntil([&] { return !button.isArmed(); }, 5s));
    EXPECT_EQ(signOuts, 0);

    button.click();
    button.click();
    EXPECT_EQ(signOuts, 1);
    EXPECT_FALSE(button.isArmed());
    // No stale disarm fires into a later arming.
    button.click();
    processEventsFor(40ms);
    EXPECT_TRUE(button.isArmed());
}

TEST(LanguageMigration, RewritesUntilEverythingSaysEnglish) {
    QTemporaryDir dir;
    QSettings settings(dir.path() + QStringLiteral("/prefs.ini"), QSettings::IniFormat);
    EXPECT_TRUE(migrateLanguageToEnglish(settings));
    EXPECT_EQ(settings.value(QStringLiteral("app_language")).toString(),
              QStringLiteral("language_english"));
    EXPECT_EQ(settings.value(QStringLiteral("AppleLanguages")).toStringList(),
              QStringList{QStringLiteral("en")});
    EXPECT_TRUE(settings.value(QStringLiteral("language_english_only_migrated_v1")).toBool());
    EXPECT_FALSE(migrateLanguageToEnglish(settings));

    // Another language is rewritten even with the flag set.
    settings.setValue(QStringLiteral("app_language"), QStringLiteral("language_german"));
    EXPECT_TRUE(migrateLanguageToEnglish(settings));
    EXPECT_EQ(settings.value(QStringLiteral("app_language")).toString(),
              QStringLiteral("language_english"));
    settings.setValue(QStringLiteral("AppleLanguages"),
                      QStringList{QStringLiteral("en"), QStringLiteral("de")});
    EXPECT_TRUE(migrateLanguageToEnglish(settings));
}

TEST(HeadingFont, AMissingFontSaysWhatIsTrueOfThisBuild) {
    static QStringList warnings;  // a message handler is a plain function
    warnings.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtWarningMsg) {
                warnings.append(text);
            }
        });
    const QString family = registerHeadingFont(QStringLiteral(":/fonts/missing.ttf"));
    qInstallMessageHandler(previous);
    EXPECT_TRUE(family.isEmpty());
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0],
              QStringLiteral("crv-font.ttf not found at :/fonts/missing.ttf: the build "
                             "compiles it in from resources/fonts/crv-font.ttf; "
                             "headings use the system font"));
}

// The words stand in the string table and in the pages' object names.
TEST(Navigation, ModulesAndRoutesKeepTheirWords) {
    const QList<WindowModule> modules = window_module::allModules();
    ASSERT_EQ(modules.size(), 4);
    const QStringList words{QStringLiteral("dashboard"), QStringLiteral("device_info"),
                            QStringLiteral("run_log"), QStringLiteral("account_info")};
    for (qsizetype i = 0; i < modules.size(); ++i) {
        EXPECT_EQ(moduleWord(modules[i]), words[i]);
        EXPECT_NE(localized(words[i]), words[i]) << words[i].toStdString();  // a title exists
    }
    EXPECT_EQ(routeWord(DashboardRoute::Dashboard), QStringLiteral("dashboard"));
    EXPECT_EQ(routeWord(DashboardRoute::AnnouncementList), QStringLiteral("announcement_list"));
    EXPECT_EQ(routeWord(DashboardRoute::AnnouncementDetail), QStringLiteral("announcement_detail"));
}

TEST(RunLogViewModel, ButtonAndPinnedRules) {
    using Action = RunLogViewModel::ButtonAction;
    EXPECT_EQ(RunLogViewModel::actionFor(false, EngineState::idle), Action::start);
    EXPECT_EQ(RunLogViewModel::actionFor(false, EngineState::stopped), Action::start);
    EXPECT_EQ(RunLogViewModel::actionFor(false, EngineState::paused), Action::start);
    EXPECT_EQ(RunLogViewModel::actionFor(true, EngineState::running), Action::pause);
    EXPECT_EQ(RunLogViewModel::actionFor(true, EngineState::waitingKey), Action::pause);
    EXPECT_EQ(RunLogViewModel::actionFor(true, EngineState::paused), Action::restart);

    // Within 20 points of the end, or a document shorter than the view, follows the tail.
    EXPECT_TRUE(RunLogViewModel::isPinned(0, 500, 400));
    EXPECT_TRUE(RunLogViewModel::isPinned(480, 500, 1000));
    EXPECT_TRUE(RunLogViewModel::isPinned(500, 500, 1000));
    EXPECT_FALSE(RunLogViewModel::isPinned(479, 500, 1000));
}

TEST(ConnectionStatus, SaysWhetherTheUserIsSignedInAndWhatTheEngineIsDoing) {
    struct Case {
        bool signedIn;
        bool engineRunning;
        EngineState state;
        LastBackendReply lastReply;
        const char* status;
        const char* text;
        const char* color;
    };
    const Case cases[] = {
        {true, true, EngineState::running, LastBackendReply::answered, "status_running",
         "Signed in · Running", "success"},
        {true, true, EngineState::running, LastBackendReply::none, "status_connecting",
         "Signed in · Connecting", "accent"},
        {true, true, EngineState::running, LastBackendReply::failed, "status_connecting",
         "Signed in · Connecting", "accent"},
        // Paused: while the loop winds down and after it has ended.
        {true, true, EngineState::paused, LastBackendReply::answered, "status_paused",
         "Signed in · Paused", "warning"},
        {true, false, EngineState::paused, LastBackendReply::answered, "status_paused",
         "Signed in · Paused", "warning"},
        {true, true, EngineState::waitingKey, LastBackendReply::answered, "status_waiting_key",
         "Signed in · Waiting for a key", "warning"},
        {true, false, EngineState::waitingKey, LastBackendReply::none, "status_waiting_key",
         "Signed in · Waiting for a key", "warning"},
        {true, false, EngineState::restarting, LastBackendReply::failed, "status_restarting",
         "Signed in · Restarting in %1 s", "warning"},
        {true, false, EngineState::stopped, LastBackendReply::answered, "status_stopped",
         "Signed in · Stopped", "secondaryText"},
        {true, false, EngineState::idle, LastBackendReply::none, "status_stopped",
         "Signed in · Stopped", "secondaryText"},
        {true, false, EngineState::running, LastBackendReply::answered, "status_stopped",
         "Signed in · Stopped", "secondaryText"},
        {false, false, EngineState::stopped, LastBackendReply::answered, "status_signed_out",
         "Signed out", "danger"},
        {false, true, EngineState::running, LastBackendReply::answered, "status_signed_out",
         "Signed out", "danger"},
    };
    for (const Case& c : cases) {
        const QString status =
            connectionStatusFor(c.signedIn, c.engineRunning, c.state, c.lastReply);
        EXPECT_EQ(status, QString::fromUtf8(c.status))
            << tasks::engineStateWord(c.state).toStdString();
        EXPECT_EQ(localized(status), QString::fromUtf8(c.text)) << c.status;
        EXPECT_EQ(connectionStatusColor(status), QString::fromUtf8(c.color)) << c.status;
    }
}

TEST(PageContentViewModel, WrapsTheContentReducedToItsFormatting) {
    const QString full = QStringLiteral("<html><body><h1>T</h1><img src=\"x.png\"></body></html>");
    const QString document = PageContentViewModel::document(full);
    EXPECT_TRUE(document.startsWith(QStringLiteral("<!DOCTYPE html>")));
    EXPECT_TRUE(
        document.endsWith(QStringLiteral("<body>\n<p class=\"h1\">T</p>\n</body>\n</html>")));
    EXPECT_TRUE(document.contains(QStringLiteral("charset=\"utf-8\"")));
    EXPECT_TRUE(document.contains(QStringLiteral("line-height: 1.75")));
    EXPECT_EQ(PageContentViewModel::defaultTitle(backend::PageType::terms),
              localized(QStringLiteral("page_title_terms")));
}

class OfferingChecker : public update::VersionChecking {
public:
    QCoro::Task<std::optional<backend::AppVersionUpdate>> checkVersion(QString,
                                                                       std::stop_token) override {
        co_return offer;
    }
    std::optional<backend::AppVersionUpdate> offer;
};

TEST(UpdatePromptViewModel, TextsAndClosingRules) {
    auto checker = std::make_unique<OfferingChecker>();
    auto* offering = checker.get();
    update::AppUpdateManager updates(std::move(checker));
    QList<QUrl> opened;
    UpdatePromptViewModel prompt(updates, QStringLiteral("1.1.0"),
                                 [&](const QUrl& url) { opened << url; });
    EXPECT_FALSE(prompt.isVisible());

    backend::AppVersionUpdate offer;
    offer.newVersion = QStringLiteral("1.2.0");
    offer.upgradeText = QStringLiteral(" \n ");
    offer.downloadUrl = QUrl(QStringLiteral("https://example.org/corvanta.deb"));
    offering->offer = offer;
    runSync(updates.checkForUpdates());
    ASSERT_TRUE(prompt.isVisible());
    EXPECT_EQ(prompt.title(),
              localized(QStringLiteral("update_dialog_title_format")).arg(QStringLiteral("1.2.0")));
    EXPECT_EQ(
        prompt.currentVersion(),
        localized(QStringLiteral("update_current_version_format")).arg(QStringLiteral("1.1.0")));
    EXPECT_TRUE(prompt.packageSize().isEmpty());
    EXPECT_EQ(prompt.description(), localized(QStringLiteral("update_description_default")));
    prompt.update();
    EXPECT_EQ(opened.size(), 1);
    EXPECT_FALSE(prompt.isVisible());

    // A mandatory update survives both buttons.
    offer.enforce = true;
    offer.packageSize = QStringLiteral("48 MB");
    offer.upgradeText = QStringLiteral("Faster searches");
    offering->offer = offer;
    runSync(updates.checkForUpdates());
    EXPECT_EQ(prompt.description(), QStringLiteral("Faster searches"));
    EXPECT_FALSE(prompt.packageSize().isEmpty());
    prompt.close();
    prompt.update();
    EXPECT_TRUE(prompt.isVisible());
    EXPECT_TRUE(prompt.isMandatory());
    EXPECT_EQ(opened.size(), 2);
}

}  // namespace
}  // namespace corvanta::ui
