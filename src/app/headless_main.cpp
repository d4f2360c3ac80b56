// corvanta-headless: the engine and backend access without a window. Prints every run-log line
// to standard output as it is stored, and stops cleanly on SIGINT/SIGTERM with the task's
// progress saved.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

#include "app/app_dependency.h"
#include "app/profile_lock.h"
#include "app/termination_signals.h"
#include "backend/auth_repository.h"
#include "backend/errors.h"
#include "backend/token_manager.h"
#include "log/log_buffer_service.h"
#include "log/log_line.h"
#include "tasks/task_orchestrator.h"

namespace {

using corvanta::app::AppDependency;

// Messages quote the backend: scrubbed like run-log lines before they reach a terminal.
void printError(const QString& message) {
    std::fprintf(stderr, "corvanta-headless: %s\n",
                 corvanta::log::scrubbedLogText(message).toUtf8().constData());
}

// Signs in, starts the engine, and ends the process when the engine stops by itself.
// `stopRequested`: SIGINT or SIGTERM has arrived.
QCoro::Task<void> run(AppDependency& deps, const bool& stopRequested) {
    co_await deps.loadStoredSignIn();
    auto& auth = deps.authRepository();
    const QString key = qEnvironmentVariable("CORVANTA_KEY").trimmed();
    if (!key.isEmpty()) {
        try {
            co_await auth.login(key);
        } catch (const corvanta::backend::BackendError& error) {
            printError(QStringLiteral("sign-in with CORVANTA_KEY failed: ") + error.description());
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

    if (stopRequested) {
        // The signal has ended the program already; no engine starts on its way out.
        co_return;
    }
    auto& orchestrator = deps.buildEngine();
    QObject::connect(&orchestrator, &corvanta::tasks::TaskOrchestrator::loopExited, [&] {
        // A loop that ends without a stop request (signed out, fetches failing, no key)
        // leaves nothing to do.
        if (orchestrator.currentState() != corvanta::tasks::EngineState::paused) {
            if (!stopRequested) {
                printError(QStringLiteral("the engine stopped by itself: %1 (state %2)")
                               .arg(orchestrator.stopReason().isEmpty()
                                        ? QStringLiteral("no reason given")
                                        : orchestrator.stopReason(),
                                    corvanta::tasks::engineStateWord(orchestrator.currentState())));
            }
            QCoreApplication::exit(stopRequested ? 0 : 3);
        }
    });
    co_await orchestrator.start();
    if (stopRequested) {
        // Stopped while registering: no loop will report its end.
        QCoreApplication::exit(0);
        co_return;
    }
    if (!orchestrator.isRunning()) {
        printError(QStringLiteral("the engine did not start: %1 (state %2)")
                       .arg(orchestrator.stopReason(),
                            corvanta::tasks::engineStateWord(orchestrator.currentState())));
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
    AppDependency::Options options;
    // No view to fill: the run log's lines go to standard output and the database only.
    options.keepsVisibleLogLines = false;
    AppDependency deps(std::move(options));

    QObject::connect(
        &deps.logBuffer(), &corvanta::log::LogBufferService::lineStored, [](const QString& line) {
            const QByteArray utf8 = line.toUtf8();
            std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        });

    corvanta::app::TerminationSignals terminationSignals;
    if (!terminationSignals.isListening()) {
        printError(QStringLiteral("cannot set up signal handling"));
        return 1;
    }
    bool stopRequested = false;
    QObject::connect(&terminationSignals, &corvanta::app::TerminationSignals::received, [&] {
        if (stopRequested) {
            return;
        }
        stopRequested = true;
        // Not built yet: still signing in, and nothing runs that could save anything.
        if (!deps.hasEngine() || !deps.orchestrator().isRunning()) {
            QCoreApplication::exit(0);
            return;
        }
        auto& orchestrator = deps.orchestrator();
        // The loop winds down on its own: lanes hand back their segments and save progress.
        QObject::connect(&orchestrator, &corvanta::tasks::TaskOrchestrator::loopExited,
                         [] { QCoreApplication::exit(0); });
        orchestrator.stop();
        QTimer::singleShot(15'000, [] { QCoreApplication::exit(0); });
    });

    auto running = run(deps, stopRequested);
    const int code = QCoreApplication::exec();
    deps.windDown();
    return code;
}
