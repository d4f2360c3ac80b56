// corvanta-headless: the engine and backend access without a window. Prints every run-log line
// to standard output as it is stored, and stops cleanly on SIGINT/SIGTERM with the task's
// progress saved.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

#include "app/app_dependency.h"
#include "app/profile_lock.h"
#include "backend/auth_repository.h"
#include "backend/backend_error.h"
#include "backend/token_manager.h"
#include "log/log_buffer_service.h"
#include "log/log_line.h"
#include "tasks/task_orchestrator.h"

namespace {

using corvanta::app::AppDependency;

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// Messages quote the backend: scrubbed like run-log lines before they reach a terminal.
void printError(const QString& message) {
    std::fprintf(stderr, "corvanta-headless: %s\n",
                 corvanta::log::scrubbedLogText(message).toUtf8().constData());
}

// Signs in, starts the engine, and ends the process when the engine stops by itself.
QCoro::Task<void> run(AppDependency& deps) {
    co_await deps.loadStoredSignIn();
    auto& auth = deps.authRepository();
    const QString key = qEnvironmentVariable("CORVANTA_KEY").trimmed();
    if (!key.isEmpty()) {
        try {
            co_await auth.login(key);
        } catch (const corvanta::backend::BackendError& error) {
            printError(QStringLiteral("sign-in with CORVANTA_KEY failed: ") +
                       error.localizedDescription());
            QCoreApplication::exit(1);
            co_return;
        } catch (const std::exception& error) {
            printError(QStringLiteral("sign-in with CORVANTA_KEY failed: ") +
                       QString::fromUtf8(error.what()));
            QCoreApplication::exit(1);
            co_return;
        }
    } else if (!co_await auth.restoreSignIn()) {
        printError(QStringLiteral(
            "not signed in: set CORVANTA_KEY to an account key (no stored sign-in is valid)"));
        QCoreApplication::exit(1);
        co_return;
    }

    auto& orchestrator = deps.orchestrator();
    QObject::connect(&orchestrator, &corvanta::tasks::TaskOrchestrator::loopExited, [&] {
        // A loop that ends without a stop request (signed out, fetches failing, no key)
        // leaves nothing to do.
        if (orchestrator.currentState() != QLatin1String("paused")) {
            const bool requested = qApp->property("stopRequested").toBool();
            if (!requested) {
                printError(QStringLiteral("the engine stopped by itself: %1 (state %2)")
                               .arg(orchestrator.stopReason().isEmpty()
                                        ? QStringLiteral("no reason given")
                                        : orchestrator.stopReason(),
                                    orchestrator.currentState()));
            }
            QCoreApplication::exit(requested ? 0 : 3);
        }
    });
    co_await orchestrator.start();
    if (qApp->property("stopRequested").toBool()) {
        // Stopped while registering: no loop will report its end.
        QCoreApplication::exit(0);
        co_return;
    }
    if (!orchestrator.isRunning()) {
        printError(QStringLiteral("the engine did not start: %1 (state %2)")
                       .arg(orchestrator.stopReason(), orchestrator.currentState()));
        QCoreApplication::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    AppDependency::applyApplicationNames();
    // Before anything of the profile is opened: a second client must leave it untouched.
    corvanta::app::ProfileLock profileLock;
    switch (profileLock.acquire()) {
        case corvanta::app::ProfileLock::Outcome::acquired:
            break;
        case corvanta::app::ProfileLock::Outcome::heldByOther:
            printError(QStringLiteral("another Corvanta client is already running on this "
                                      "profile (pid %1)")
                           .arg(profileLock.holderPid()));
            return 4;
        case corvanta::app::ProfileLock::Outcome::unavailable:
            printError(QStringLiteral("cannot create %1; running without the guard against a "
                                      "second client on this profile")
                           .arg(profileLock.path()));
            break;
    }
    auto& deps = AppDependency::shared();

    QObject::connect(
        &deps.logBuffer(), &corvanta::log::LogBufferService::lineStored, [](const QString& line) {
            const QByteArray utf8 = line.toUtf8();
            std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        });

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        printError(QStringLiteral("cannot set up signal handling"));
        return 1;
    }
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, [&] {
        char byte = 0;
        [[maybe_unused]] const auto got = ::read(signalPipe[0], &byte, 1);
        if (app.property("stopRequested").toBool()) {
            return;
        }
        app.setProperty("stopRequested", true);
        auto& orchestrator = deps.orchestrator();
        if (!orchestrator.isRunning()) {
            QCoreApplication::exit(0);
            return;
        }
        // The loop winds down on its own: lanes hand back their segments and save progress.
        QObject::connect(&orchestrator, &corvanta::tasks::TaskOrchestrator::loopExited,
                         [] { QCoreApplication::exit(0); });
        orchestrator.stop();
        QTimer::singleShot(15'000, [] { QCoreApplication::exit(0); });
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    auto running = run(deps);
    const int code = QCoreApplication::exec();
    deps.windDown();
    return code;
}
