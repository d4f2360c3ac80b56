// gtest main for the window tests: a QGuiApplication rendering offscreen, with the user's
// folders in a private temporary directory so that nothing of a real installation is touched.
#include <QGuiApplication>
#include <QQuickStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>

#include "app/app_dependency.h"
#include "async/event_loop_drain.h"

int main(int argc, char** argv) {
    QTemporaryDir home;
    const QByteArray root = home.path().toUtf8();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root);
    // Secrets go to the fallback file: a keyring prompt would have no one to answer it.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QGuiApplication app(argc, argv);
    corvanta::app::AppDependency::applyApplicationNames();
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Work the tests left in flight ends here, not as leaks when the application goes.
    corvanta::app::AppDependency::shared().windDown();
    return result;
}
