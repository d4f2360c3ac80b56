#include <gtest/gtest.h>

#include "fake_version_checker.h"
#include "platform/string_table.h"
#include "support/await.h"
#include "support/coro_test_util.h"
#include "support/qt_app.h"
#include "update/app_update_manager.h"
#include "update/bundle_app_version_provider.h"

namespace corvanta::update {
namespace {

using backend::AppVersionUpdate;
using corvanta::testing::await;

AppVersionUpdate offer(bool enforce, const QString& newVersion = QStringLiteral("2.0.0")) {
    AppVersionUpdate update;
    update.enforce = enforce;
    update.version = QStringLiteral("1.0.0");
    update.newVersion = newVersion;
    update.downloadUrl = QUrl(QStringLiteral("https://downloads.example/corvanta.tar.gz"));
    update.packageSize = QStringLiteral("48 MB");
    update.upgradeText = QStringLiteral("Faster.");
    return update;
}

QString latestText() {
    return platform::localized(QStringLiteral("profile_version_latest"));
}
QString failedText() {
    return platform::localized(QStringLiteral("profile_version_check_failed"));
}

class AppUpdateManagerTest : public ::testing::Test {
protected:
    AppUpdateManagerTest() {
        corvanta::testing::ensureCoreApplication();
        manager = std::make_unique<AppUpdateManager>(
            std::make_unique<FakeVersionChecker>(script),
            std::make_unique<FixedVersion>(QStringLiteral("1.0.0")));
        QObject::connect(manager.get(), &AppUpdateManager::availableUpdateChanged,
                         [this] { ++updateSignals; });
        QObject::connect(manager.get(), &AppUpdateManager::isCheckingChanged,
                         [this] { ++checkingSignals; });
        QObject::connect(manager.get(), &AppUpdateManager::statusMessageChanged,
                         [this] { ++messageSignals; });
    }

    void check() { await(manager->checkForUpdates()); }

    std::shared_ptr<CheckerScript> script = std::make_shared<CheckerScript>();
    std::unique_ptr<AppUpdateManager> manager;
    int updateSignals = 0;
    int checkingSignals = 0;
    int messageSignals = 0;
};

TEST_F(AppUpdateManagerTest, ChecksNeverOverlap) {
    EXPECT_FALSE(manager->hasUpdate());
    EXPECT_FALSE(manager->isChecking());
    EXPECT_FALSE(manager->statusMessage());

    script->hold = true;
    auto first = manager->checkForUpdates();
    EXPECT_TRUE(manager->isChecking());
    auto second = manager->checkForUpdates();
    EXPECT_TRUE(second.isReady());
    manager->requestCheck();
    ASSERT_EQ(script->versionsAsked, std::vector<QString>{QStringLiteral("1.0.0")});

    script->replies.push_back({offer(false)});
    script->parked.front()->resume();
    EXPECT_TRUE(first.isReady());
    EXPECT_FALSE(manager->isChecking());
    EXPECT_EQ(checkingSignals, 2);
    EXPECT_EQ(manager->availableUpdate(), offer(false));
    EXPECT_FALSE(manager->statusMessage());
    EXPECT_EQ(messageSignals, 0);

    // What the update dialog reads.
    EXPECT_TRUE(manager->property("hasUpdate").toBool());
    EXPECT_FALSE(manager->property("isMandatory").toBool());
    const auto published = manager->property("availableUpdate").value<AppVersionUpdate>();
    EXPECT_EQ(published.newVersion, QStringLiteral("2.0.0"));
    EXPECT_EQ(published.downloadUrlOrEmpty().host(), QStringLiteral("downloads.example"));

    // Once the check is over the next one goes out.
    script->hold = false;
    check();
    EXPECT_EQ(script->versionsAsked.size(), 2u);
}

TEST_F(AppUpdateManagerTest, AnswerWithoutUpdateClearsTheOfferAndSaysSo) {
    script->replies = {{offer(false)}, {std::nullopt}};
    check();
    ASSERT_TRUE(manager->hasUpdate());
    check();
    EXPECT_FALSE(manager->hasUpdate());
    EXPECT_FALSE(manager->property("availableUpdate").isValid());
    EXPECT_EQ(manager->statusMessage(), latestText());
    EXPECT_EQ(manager->property("statusMessage").toString(), latestText());
    EXPECT_NE(latestText(), QStringLiteral("profile_version_latest"));  // the table has a text
    EXPECT_EQ(updateSignals, 2);
}

TEST_F(AppUpdateManagerTest, FailedCheckKeepsTheEarlierOffer) {
    script->replies = {
        {offer(true)}, {std::nullopt, true}, {offer(false, QStringLiteral("2.1.0"))}};
    check();
    ASSERT_TRUE(manager->isMandatory());

    EXPECT_NO_THROW(check());
    EXPECT_EQ(manager->availableUpdate(), offer(true));
    EXPECT_EQ(manager->statusMessage(), failedText());
    EXPECT_NE(failedText(), QStringLiteral("profile_version_check_failed"));
    EXPECT_FALSE(manager->isChecking());
    EXPECT_EQ(updateSignals, 1);

    // The next check starts without the old message; a later answer may replace even a
    // mandatory offer.
    script->hold = true;
    manager->requestCheck();
    EXPECT_FALSE(manager->statusMessage());
    script->parked.front()->resume();
    EXPECT_EQ(manager->availableUpdate(), offer(false, QStringLiteral("2.1.0")));
    EXPECT_FALSE(manager->statusMessage());
}

TEST_F(AppUpdateManagerTest, OnlyAnOptionalOfferCanBeDismissed) {
    manager->dismissUpdate();
    EXPECT_EQ(updateSignals, 0);

    script->replies = {{offer(true)}, {offer(false)}};
    check();
    manager->dismissUpdate();
    EXPECT_EQ(manager->availableUpdate(), offer(true));
    EXPECT_EQ(updateSignals, 1);

    check();
    manager->dismissUpdate();
    EXPECT_FALSE(manager->hasUpdate());
    EXPECT_EQ(updateSignals, 3);
}

TEST_F(AppUpdateManagerTest, AutoCheckAsksAtOnceThenOnEveryFiring) {
    manager->setAutoCheckInterval(std::chrono::milliseconds(5));
    script->hold = true;
    manager->startAutoCheck();
    manager->startAutoCheck();
    EXPECT_TRUE(manager->isAutoChecking());
    ASSERT_EQ(script->versionsAsked.size(), 1u);
    // Firings during a slow check are dropped, not queued.
    corvanta::testing::processEventsFor(std::chrono::milliseconds(40));
    EXPECT_EQ(script->versionsAsked.size(), 1u);

    script->hold = false;
    script->parked.front()->resume();
    ASSERT_TRUE(corvanta::testing::processEventsUntil(
        [&] { return script->versionsAsked.size() >= 3; }, std::chrono::seconds(10)));

    manager->stopAutoCheck();
    EXPECT_FALSE(manager->isAutoChecking());
    const std::size_t asked = script->versionsAsked.size();
    corvanta::testing::processEventsFor(std::chrono::milliseconds(40));
    EXPECT_EQ(script->versionsAsked.size(), asked);
}

TEST_F(AppUpdateManagerTest, DestructionEndsTheCheckInFlight) {
    script->hold = true;
    manager->requestCheck();
    ASSERT_EQ(script->stops.size(), 1u);
    manager.reset();
    EXPECT_TRUE(script->stops.front().stop_requested());
    // The answer arrives after the manager is gone and is dropped.
    script->replies.push_back({offer(false)});
    script->parked.front()->resume();
    EXPECT_EQ(updateSignals, 0);
    EXPECT_EQ(checkingSignals, 1);
}

TEST(BundleAppVersionProviderTest, CompiledVersionOrFallback) {
    EXPECT_EQ(BundleAppVersionProvider().currentVersion(),
              QStringLiteral(CORVANTA_TEST_PROJECT_VERSION));
    EXPECT_EQ(BundleAppVersionProvider(QStringLiteral("2.3.4")).currentVersion(),
              QStringLiteral("2.3.4"));
    EXPECT_EQ(BundleAppVersionProvider(QString()).currentVersion(), QStringLiteral("1.1.0"));

    // Without a provider of its own the manager sends the compiled-in version.
    corvanta::testing::ensureCoreApplication();
    auto script = std::make_shared<CheckerScript>();
    AppUpdateManager manager(std::make_unique<FakeVersionChecker>(script));
    await(manager.checkForUpdates());
    ASSERT_EQ(script->versionsAsked.size(), 1u);
    EXPECT_EQ(script->versionsAsked.front(), QStringLiteral(CORVANTA_TEST_PROJECT_VERSION));
}

}  // namespace
}  // namespace corvanta::update
