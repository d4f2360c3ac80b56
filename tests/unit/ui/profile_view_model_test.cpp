#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <stdexcept>

#include "platform/launch_at_login_service.h"
#include "platform/string_table.h"
#include "support/coro_test_util.h"
#include "ui/profile_view_model.h"

namespace corvanta::ui {
namespace {

using platform::localized;
using testing::runSync;

// The real autostart entry in a temporary folder, with a switch that makes writes fail and a
// count of the writes that reached the platform.
class CountingLaunchService : public platform::LaunchAtLogin {
public:
    explicit CountingLaunchService(const QString& directory)
        : real_(directory, QStringLiteral("/opt/Corvanta $1/corvanta")) {}
    bool isEnabled() const override { return real_.isEnabled(); }
    void setEnabled(bool enabled) override {
        if (enabled == real_.isEnabled()) {
            return;
        }
        ++platformCalls;
        if (refuse) {
            throw std::runtime_error("refused");
        }
        real_.setEnabled(enabled);
    }
    platform::LaunchAtLoginService real_;
    int platformCalls = 0;
    bool refuse = false;
};

ProfileViewModel::LoginFunction acceptingLogin(QStringList& sent, bool& fail) {
    return [&sent, &fail](QString key) -> QCoro::Task<> {
        sent << key;
        if (fail) {
            throw std::runtime_error("rejected");
        }
        co_return;
    };
}

TEST(ProfileViewModel, MasksTheKey) {
    EXPECT_EQ(ProfileViewModel::masked(QStringLiteral("abcd")), QStringLiteral("••••"));
    EXPECT_EQ(ProfileViewModel::masked(QStringLiteral("a")), QStringLiteral("•"));
    EXPECT_EQ(ProfileViewModel::masked(QStringLiteral(" abcde ")), QStringLiteral("•bcde"));
    EXPECT_EQ(ProfileViewModel::masked(QStringLiteral("0123456789")), QStringLiteral("••••••6789"));
    EXPECT_EQ(ProfileViewModel::masked(QStringLiteral(" \n")),
              localized(QStringLiteral("profile_key_empty")));
}

TEST(ProfileViewModel, BindsAnotherKeyOnlyWhenTheLoginSucceeds) {
    QTemporaryDir dir;
    CountingLaunchService launch(dir.path());
    QStringList sent;
    bool fail = false;
    QStringList bound;
    QString stored = QStringLiteral("old-key-1234");
    ProfileViewModel model(
        acceptingLogin(sent, fail), [&](const QString& key) { bound << key; }, launch, nullptr,
        [&] { return stored; }, QStringLiteral("1.1.0"));
    EXPECT_EQ(model.maskedKey(), QStringLiteral("••••••••1234"));

    model.setKey(QStringLiteral("   "));
    EXPECT_FALSE(model.isSaveEnabled());
    runSync(model.bindKey());
    EXPECT_TRUE(sent.isEmpty());

    model.setKey(QStringLiteral(" new-key-9876 "));
    EXPECT_TRUE(model.isSaveEnabled());
    fail = true;
    runSync(model.bindKey());
    EXPECT_EQ(model.errorMessage(), localized(QStringLiteral("profile_bind_key_failed")));
    EXPECT_TRUE(bound.isEmpty());
    EXPECT_EQ(model.maskedKey(), QStringLiteral("••••••••1234"));

    fail = false;
    runSync(model.bindKey());
    EXPECT_EQ(sent.last(), QStringLiteral("new-key-9876"));
    EXPECT_EQ(bound, QStringList{QStringLiteral("new-key-9876")});
    EXPECT_TRUE(model.errorMessage().isEmpty());
    EXPECT_EQ(model.maskedKey(), QStringLiteral("••••••••9876"));
    EXPECT_FALSE(model.isBinding());

    // Showing the page again picks up a key stored elsewhere (a sign-in on the login page).
    stored = QStringLiteral("other-key-5555");
    model.refresh();
    EXPECT_EQ(model.maskedKey(), QStringLiteral("••••••••••5555"));
}

TEST(ProfileViewModel, LaunchAtLoginShowsTheRealState) {
    QTemporaryDir dir;
    const QString autostart = dir.path() + QStringLiteral("/autostart");
    CountingLaunchService launch(autostart);
    QStringList sent;
    bool fail = false;
    ProfileViewModel model(
        acceptingLogin(sent, fail), [](const QString&) {}, launch, nullptr,
        [] { return QString(); }, QStringLiteral("1.1.0"));
    EXPECT_FALSE(model.isAutoLaunchEnabled());

    // A refused registration leaves the toggle off with the error.
    launch.refuse = true;
    model.setAutoLaunch(true);
    EXPECT_FALSE(model.isAutoLaunchEnabled());
    EXPECT_EQ(model.errorMessage(), localized(QStringLiteral("profile_auto_launch_error")));

    launch.refuse = false;
    model.setAutoLaunch(true);
    EXPECT_TRUE(model.isAutoLaunchEnabled());
    EXPECT_TRUE(model.errorMessage().isEmpty());
    QFile entry(autostart + QStringLiteral("/corvanta.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    entry.close();
    // Started at login, the client goes to the tray without a window.
    EXPECT_TRUE(text.contains(QStringLiteral("Exec=\"/opt/Corvanta \\\\$1/corvanta\" --tray\n")))
        << text.toStdString();

    // Already on: no platform call, no error.
    const int calls = launch.platformCalls;
    model.setAutoLaunch(true);
    EXPECT_EQ(launch.platformCalls, calls);
    EXPECT_TRUE(model.errorMessage().isEmpty());

    // An entry another tool hid counts as off.
    ASSERT_TRUE(entry.open(QIODevice::Append));
    entry.write("Hidden = true\n");
    entry.close();
    model.refresh();
    EXPECT_FALSE(model.isAutoLaunchEnabled());

    QFile::remove(entry.fileName());
    model.setAutoLaunch(true);
    model.setAutoLaunch(false);
    EXPECT_FALSE(model.isAutoLaunchEnabled());
    EXPECT_FALSE(QFile::exists(entry.fileName()));
}

}  // namespace
}  // namespace corvanta::ui
