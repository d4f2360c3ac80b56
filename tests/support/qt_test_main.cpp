// gtest main for tests that need a Qt event loop on the main thread.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>

#include "async/event_loop_drain.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvanta"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvanta"));
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Coroutines a test left waiting on posted events or timers end here, instead of being
    // reported as leaks when the application object goes.
    corvanta::async::drainEventLoop(std::chrono::milliseconds(100), std::chrono::seconds(5));
    return result;
}
