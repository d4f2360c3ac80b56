#include "support/qt_app.h"

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>

#include "async/event_loop_drain.h"

namespace corvanta::testing {

void ensureCoreApplication() {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "corvanta-tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);  // lives until the process exits
        // Runs before the application's destructor: coroutines a test left waiting on posted
        // events or timers end then, instead of being reported as leaks.
        std::atexit([] {
            corvanta::async::drainEventLoop(std::chrono::milliseconds(100),
                                            std::chrono::seconds(5));
        });
    }
}

}  // namespace corvanta::testing
