// corvanta-headless: the engine and backend access without a window. Prints every run-log line
// to standard output as it is stored, and stops cleanly on SIGINT/SIGTERM with the task's
// progress saved. Under a service manager it reports its state; with CORVANTA_METRICS_ADDR it
// serves its figures to Prometheus.
#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "app/app_dependency.h"
#include "app/metrics_exporter.h"
#include "app/profile_lock.h"
#include "app/service_status_reporter.h"
#include "app/terminal_status_line.h"
#include "app/termination_signals.h"
#include "backend/auth_repository.h"
#include "backend/errors.h"
#include "backend/token_manager.h"
#include "log/log_buffer_service.h"
#include "log/log_line.h"
#include "platform/service_manager_notifier.h"
#include "tasks/task_orchestrator.h"
#include "update/bundle_app_version_provider.h"

namespace {

using corvanta::app::AppDependency;

// Exit status for a command line the program does not understand (sysexits' EX_USAGE).
constexpr int kUsageExit = 64;

constexpr const char* kUsage = R"(Usage: corvanta-headless [--help | --version]

Runs the Corvanta engine without a window: signs in, searches the tasks the
backend hands out, and prints every run-log line to standard output. SIGINT or
SIGTERM stops it cleanly, with the task's progress saved.

Options:
  -h, --help     print this help and exit
  --version      print the version and exit

Environment:
  CORVANTA_KEY            the account key to sign in with; without it the sign-in
                          stored by an earlier run is used
  CORVANTA_API_BASE_URL   the backend to talk to instead of the built-in one
                          (plain http:// only for loopback hosts)
  CORVANTA_METRICS_ADDR   serve Prometheus metrics on GET /metrics at this IP
                          address and port, bound to it alone (127.0.0.1:9464,
                          [::1]:9464); no authentication: keep it on loopback or
                          behind the fleet's own network rules
  CORVANTA_OPENCL_DEVICE  "any" lets the GPU path use any OpenCL device, CPU
                          devices included
  CORVANTA_SHA256_IMPL    force the CPU kernel: scalar, shani, avx2 or avx512
  CORVANTA_RUN_LOG_FILE_LIMIT_BYTES
                          the size at which the run log's database file rotates
  CORVANTA_STATUS_INTERVAL_MS
                          milliseconds between the status lines written to
                          standard error when it is a terminal (default 60000)
  CORVANTA_RESTART_DELAY_SCALE
                          a factor for the back-off of the engine's restarts
                          after an outage (30 s, 1, 2, 4, 8, at most 15 min)
  DBUS_SYSTEM_BUS_ADDRESS the system bus: the engine pauses before the machine
                          sleeps and, with pauseOnBattery (on where there is a
                          battery), while it runs on battery
  NOTIFY_SOCKET, WATCHDOG_USEC
                          set by systemd for a Type=notify unit: the client then
                          reports READY=1, its state and rate (STATUS=), and
                          answers the watchdog
  XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CACHE_HOME
                          where the settings, the run log and task progress,
                          and the caches live (the profile)

Exit status:
  0   stopped by SIGINT or SIGTERM, or --help / --version
  1   sign-in failed, or the program could not be set up (signal handling,
      the metrics address)
  2   the engine did not start (the backend refused the device's registration)
  3   the engine stopped for good: signed out, no key, the key refused
      (standard error names the reason); after an outage or a server error it
      restarts by itself instead
  4   another Corvanta client already runs on this profile
  64  a command line this program does not understand
)";

// --help and --version are answered before anything of the profile or the network is touched.
// The exit status when the command line ends the program, or none to run.
std::optional<int> answerCommandLine(int argc, char** argv) {
    if (argc < 2) {
        return std::nullopt;
    }
    const char* argument = argv[1];
    if (argc == 2 && (std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argument, "--version") == 0) {
        std::printf(
            "corvanta-headless %s\n",
            corvanta::update::BundleAppVersionProvider().currentVersion().toUtf8().constData());
        return 0;
    }
    std::fprintf(stderr,
                 "corvanta-headless: unknown argument '%s'\n"
                 "Try 'corvanta-headless --help'.\n",
                 argc == 2 ? argument : argv[argc - 1]);
    return kUsageExit;
}

// What the run reports to besides standard output.
struct Observers {
    corvanta::app::ServiceStatusReporter& serviceStatus;
    corvanta::app::MetricsExporter* metrics = nullptr;
};

// Messages quote the backend: scrubbed like run-log lines before they reach a terminal.
void printError(const QString& message) {
    std::fprintf(stderr, "corvanta-headless: %s\n",
                 corvanta::log::scrubbedLogText(message).toUtf8().constData());
}

// Whether the engine has stopped with nothing to come: not paused, not running, and no restart
// scheduled (signed out, no key, the key or the device refused). A stop that may pass (no
// connection, a server error) schedules a restart, and the program waits for it.
bool endsForGood(const corvanta::tasks::TaskOrchestrator& orchestrator) {
    using corvanta::tasks::EngineState;
    const EngineState state = orchestrator.currentState();
    return state != EngineState::paused && state != EngineState::restarting &&
           state != EngineState::running;
}

void printNotStarted(const corvanta::tasks::TaskOrchestrator& orchestrator) {
    printError(QStringLiteral("the engine did not start: %1 (state %2)")
                   .arg(orchestrator.stopReason(),
                        corvanta::tasks::engineStateWord(orchestrator.currentState())));
}

// Signs in, starts the engine, and ends the process when the engine stops by itself.
// `stopRequested`: SIGINT or SIGTERM has arrived.
QCoro::Task<void> run(AppDependency& deps, Observers observers, const bool& stopRequested) {
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
    observers.serviceStatus.follow(orchestrator, deps.engineCounters());
    if (observers.metrics) {
        observers.metrics->follow(orchestrator);
    }
    QObject::connect(&orchestrator, &corvanta::tasks::TaskOrchestrator::loopExited, [&] {
        if (endsForGood(orchestrator)) {
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
    // A restart whose registration is refused ends no loop; only its state says so. Queued, so
    // that a stop on its way to a scheduled restart is not taken for the end.
    QObject::connect(
        &orchestrator, &corvanta::tasks::TaskOrchestrator::currentStateChanged, &orchestrator,
        [&] {
            if (!stopRequested && !orchestrator.isRunning() && orchestrator.deviceId() == 0 &&
                orchestrator.consecutiveRestarts() > 0 && endsForGood(orchestrator)) {
                printNotStarted(orchestrator);
                QCoreApplication::exit(2);
            }
        },
        Qt::QueuedConnection);
    co_await orchestrator.start();
    if (stopRequested) {
        // Stopped while registering: no loop will report its end.
        QCoreApplication::exit(0);
        co_return;
    }
    // A registration that failed for now has scheduled a restart instead.
    if (!orchestrator.isRunning() && endsForGood(orchestrator)) {
        printNotStarted(orchestrator);
        QCoreApplication::exit(2);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto exitCode = answerCommandLine(argc, argv)) {
        return *exitCode;
    }
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
    const corvanta::platform::ServiceManagerNotifier serviceManager;
    corvanta::app::ServiceStatusReporter serviceStatus(serviceManager);
    std::unique_ptr<corvanta::app::MetricsExporter> metrics;
    if (const auto address = corvanta::app::MetricsExporter::addressFromEnvironment()) {
        try {
            metrics = std::make_unique<corvanta::app::MetricsExporter>(
                *address, deps.engineCounters(), deps.pressureController(),
                corvanta::update::BundleAppVersionProvider().currentVersion());
        } catch (const std::exception& error) {
            printError(QString::fromUtf8(error.what()));
            return 1;
        }
    }

    QObject::connect(
        &deps.logBuffer(), &corvanta::log::LogBufferService::lineStored, [](const QString& line) {
            const QByteArray utf8 = line.toUtf8();
            std::fwrite(utf8.constData(), 1, static_cast<std::size_t>(utf8.size()), stdout);
            std::fputc('\n', stdout);
            std::fflush(stdout);
        });

    // A person watching the terminal gets the state at a glance every minute; a journal or a
    // pipe has the run log already.
    corvanta::app::TerminalStatusLine statusLine(
        [&deps] {
            if (!deps.hasEngine()) {
                return corvanta::app::TerminalStatusLine::compose(
                    corvanta::tasks::engineStateWord(corvanta::tasks::EngineState::idle), 0, {}, 0,
                    0);
            }
            const auto& orchestrator = deps.orchestrator();
            const auto& stats = orchestrator.sessionStats();
            return corvanta::app::TerminalStatusLine::compose(
                corvanta::tasks::engineStateWord(orchestrator.currentState()),
                orchestrator.nonceRate(), stats.currentTaskId, stats.noncePosition,
                stats.upperBound);
        },
        STDERR_FILENO, corvanta::app::TerminalStatusLine::intervalFromEnvironment());
    statusLine.start();

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
        serviceStatus.reportStopping();
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

    auto running = run(deps, Observers{serviceStatus, metrics.get()}, stopRequested);
    const int code = QCoreApplication::exec();
    deps.windDown();
    return code;
}
