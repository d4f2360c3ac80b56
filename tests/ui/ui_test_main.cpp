// gtest main for the window tests: a QGuiApplication rendering offscreen on one screen of a fixed
// size (1920 × 1080 unless the executable is built with CORVANTA_TEST_SCREEN_WIDTH and _HEIGHT;
// CORVANTA_TEST_SECOND_SCREEN adds a 2560 × 1440 one to its right; CORVANTA_TEST_WIDGETS makes
// it a QApplication),
// with the user's folders in a private temporary directory so that nothing of a real installation
// is touched.
#include <QFile>
#include <QGuiApplication>
#ifdef CORVANTA_TEST_WIDGETS
#include <QApplication>
#endif
#include <QQuickStyle>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>

#include "async/event_loop_drain.h"

#ifndef CORVANTA_TEST_SCREEN_WIDTH
#define CORVANTA_TEST_SCREEN_WIDTH 1920
#define CORVANTA_TEST_SCREEN_HEIGHT 1080
#endif

int main(int argc, char** argv) {
    QTemporaryDir home;
    const QByteArray root = home.path().toUtf8();
    // The offscreen platform's own screen size differs between Qt versions.
    QFile screens(home.filePath(QStringLiteral("offscreen.json")));
    QByteArray list = QByteArray(R"({"name":"test","x":0,"y":0,"width":)") +
                      QByteArray::number(CORVANTA_TEST_SCREEN_WIDTH) + R"(,"height":)" +
                      QByteArray::number(CORVANTA_TEST_SCREEN_HEIGHT) +
                      R"(,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1})";
#ifdef CORVANTA_TEST_SECOND_SCREEN
    // A larger second screen to the right of the first, as a laptop beside a monitor.
    list += QByteArray(R"(,{"name":"second","x":)") +
            QByteArray::number(CORVANTA_TEST_SCREEN_WIDTH) +
            R"(,"y":0,"width":2560,"height":1440,"logicalDpi":96,"logicalBaseDpi":96,"dpr":1})";
#endif
    if (!screens.open(QIODevice::WriteOnly) || screens.write(R"({"screens":[)" + list + "]}") < 0) {
        return 2;
    }
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/data");
    qputenv("XDG_CONFIG_HOME", root + "/config");
    qputenv("XDG_CACHE_HOME", root + "/cache");
    qputenv("XDG_RUNTIME_DIR", root);
    // Secrets go to the fallback file: a keyring prompt would have no one to answer it.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    // Nor the machine's own sleep and battery: no system bus.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root + "/no-system-bus");
#ifdef CORVANTA_TEST_WIDGETS
    // The window program's own application class, which the tray icon needs.
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvanta"));
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Work the tests left in flight ends here, not as leaks when the application goes.
    corvanta::async::drainEventLoop(std::chrono::milliseconds(100), std::chrono::seconds(5));
    return result;
}
