// The log service needs an application object for its flush timer, and its default directory
// comes from the application's names; the data home is a private temporary folder.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    QCoreApplication::setOrganizationName("Corvanta");
    QCoreApplication::setApplicationName("Corvanta");
    // Declared after the folder so that services it owns close their files before it goes.
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
