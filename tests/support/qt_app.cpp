#include "support/qt_app.h"

#include <QCoreApplication>

namespace corvanta::testing {

void ensureCoreApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "corvanta-tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);  // lives until the process exits
    }
}

}  // namespace corvanta::testing
