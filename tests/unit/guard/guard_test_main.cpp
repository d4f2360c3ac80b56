#include <gtest/gtest.h>

#include <QCoreApplication>

// The monitor and the controller run their timers on a Qt event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
