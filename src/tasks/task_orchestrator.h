#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

#include "guard/system_snapshot.h"
#include "log/log_tag.h"
#include "tasks/engine_counters.h"
#include "tasks/engine_state.h"
#include "tasks/restart_backoff.h"
#include "tasks/task_session_stats.h"

namespace corvanta::backend {
class DeviceRepository;
}
namespace corvanta::guard {
class PressureController;
}

namespace corvanta::tasks {

class TaskScheduler;
class ValidationCoordinator;

// What the machine registers itself with.
struct DeviceIdentity {
    QString sn;
    QString name;
    QString cpu;
};

// Consecutive fetches without a usable task.
struct TaskFetchFailureTracker {
    int failureCount = 0;
    int maxFailures = 3;
};

struct TaskOrchestratorDependencies {
    TaskScheduler* scheduler = nullptr;               // required
    ValidationCoordinator* coordinator = nullptr;     // required
    backend::DeviceRepository* devices = nullptr;     // required
    std::function<QCoro::Task<bool>()> verifySignIn;  // required
    guard::PressureController* pressure = nullptr;
    std::function<guard::SystemSnapshot()> currentSnapshot;
    std::function<DeviceIdentity()> deviceIdentity;
    // The user's key for this device, if one is stored.
    std::function<std::optional<QString>(const QString& identity)> loadStoredKey;
    // One run-log line: device identifier ("?" before registration), category, message.
    std::function<void(const QString& deviceId, const QString& category, const QString& message)>
        log;
    std::function<QDateTime()> clock = [] { return QDateTime::currentDateTimeUtc(); };
    // Scales the fixed waits (5 s fetch retry, 1 s key retry, 5 s submit delay, 1 s ticker).
    double intervalScale = 1.0;
    // Where tasks and submitted candidates are counted; optional.
    EngineCounters* counters = nullptr;
    // Whether the user is still signed in; an engine that stopped by itself restarts only then.
    // Unset: always.
    std::function<bool()> isSignedIn;
    // Scales the restart back-off (RestartBackoff::scaleFromEnvironment() in the programs).
    double restartDelayScale = 1.0;
    // Numbers in [0, 1) for the back-off's jitter; unset: Qt's global generator.
    std::function<double()> unitRandom;
};

// The engine's main loop: registers the device, verifies the key, fetches tasks, lets the
// scheduler search them, and submits validated nonces. Main thread only.
class TaskOrchestrator : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(
        corvanta::tasks::EngineState currentState READ currentState NOTIFY currentStateChanged)
    Q_PROPERTY(QString progressText READ progressText NOTIFY progressTextChanged)

public:
    static constexpr std::uint64_t kDefaultUpperBound = 42'949'672'960;  // 10 * 2^32
    // Longest seed a task may have (UTF-8 bytes); a longer one makes the task unusable.
    static constexpr qsizetype kMaxSeedBytes = 64 * 1024;

    explicit TaskOrchestrator(TaskOrchestratorDependencies dependencies, QObject* parent = nullptr);
    ~TaskOrchestrator() override;

    // Returns once the loop is launched or registration has failed. Takes the place of a
    // scheduled restart.
    QCoro::Task<void> start();
    // Stops a running engine, or calls off a scheduled restart.
    void stop();
    // Pauses a running engine: the search in flight is abandoned (its progress kept), nothing
    // more is submitted, and the loop winds down. A scheduled restart is called off and the
    // engine counts as paused. Nothing when the engine does not run or is paused already.
    void pause();
    // Takes a pause back while the paused loop has not yet ended; that loop then carries on. No
    // new loop is started (start() does that). Nothing unless the engine is paused.
    void resume();
    // The account repository has ended the sign-in (a 401, an expired token): the engine stops
    // and says why.
    void signInEnded();

    // Sends a validated nonce to the backend, not earlier than 5 s after its task was fetched.
    // A transport failure or an HTTP 5xx is sent again with the same nonce, up to twice, 1 s and
    // then 2 s later; a refusal is final. `stop` ends a call that has not sent its nonce yet.
    QCoro::Task<bool> submitResult(std::uint64_t nonce, QString taskId, std::stop_token stop = {});

    bool isRunning() const { return isRunning_; }
    EngineState currentState() const { return currentState_; }
    const QString& progressText() const { return progressText_; }
    const QString& corvantaKey() const { return corvantaKey_; }
    void setCorvantaKey(const QString& key) { corvantaKey_ = key; }
    qint64 deviceId() const { return deviceId_; }
    void setDeviceId(qint64 id) { deviceId_ = id; }
    const TaskSessionStats& sessionStats() const { return sessionStats_; }
    // The search's latest rate in nonces per second while the engine runs, else 0.
    double nonceRate() const;
    // The reason line of the last time the engine stopped by itself ("❌ key verification
    // failed", ...); empty while it runs and after a stop or pause asked for by the user.
    const QString& stopReason() const { return stopReason_; }

    // While the state is `restarting`: the time left until the scheduled start, and why the
    // engine stopped in a few words ("sign-in check failed", ...). Zero and empty otherwise.
    std::chrono::milliseconds restartRemaining() const;
    // restartRemaining() in whole seconds, rounded up: the number the countdown shows.
    int restartSecondsLeft() const;
    const QString& restartReason() const { return restartReason_; }
    // Restarts scheduled since a task was last accepted.
    int consecutiveRestarts() const { return backoff_.restarts(); }

    // A run-log line for what happens around the engine (the machine sleeps, the battery takes
    // over), under the engine's device identifier like its own lines.
    void logLine(log::LogCategory category, const QString& message) const {
        log(category, message);
    }

    // The key as the run log shows it: every character but the last four as "•" when it has five
    // or more, else the key itself.
    static QString maskedKey(const QString& key);

signals:
    void isRunningChanged();
    void currentStateChanged();
    void progressTextChanged();
    // Once a second while a restart is scheduled, and when one is scheduled or called off.
    void restartCountdownChanged();
    // The main loop has finished (after its "main loop exited" line).
    void loopExited();

private:
    struct FetchedTask {
        QString taskId;
        QString seed;
        int difficulty = 0;
        std::uint64_t upperBound = 0;
    };

    QCoro::Task<void> mainLoop(std::stop_token stop, std::uint64_t generation);
    QCoro::Task<void> runtimeTicker(std::stop_token stop);
    // How a call to the backend ended: a failure that can pass (no connection, a server error)
    // or one that will not (a refusal).
    enum class CallOutcome { succeeded, failedForNow, refused };

    QCoro::Task<CallOutcome> registerDevice(const DeviceIdentity& identity, std::stop_token stop);
    QCoro::Task<CallOutcome> verifyKey(std::stop_token stop);
    QCoro::Task<std::optional<FetchedTask>> fetchNextTask(std::stop_token stop);
    void finishLoop(std::uint64_t generation);
    // The loop ends by itself: writes the reason line and keeps it for stopReason(). A non-empty
    // `restartBecause` (a few words) marks a stop that can pass: the engine will be restarted.
    void endBecause(log::LogCategory category, log::LogSeverity severity, const QString& reason,
                    const QString& restartBecause = {});
    // As endBecause, of ordinary weight, and stops the engine the way stop() does.
    void stopBecause(log::LogCategory category, const QString& reason,
                     const QString& restartBecause = {});
    // After the engine has stopped by itself: schedules the restart endBecause asked for, when
    // the user is still signed in.
    void scheduleRestartIfDue();
    void cancelRestart();
    void restartNow();
    void startTicker();
    void cancelTicker();
    void refreshProgress();
    // Adds one to a counter, when there are counters.
    void count(std::atomic<std::uint64_t> EngineCounters::*counter) const;
    void log(log::LogCategory category, const QString& message) const;
    void log(log::LogCategory category, log::LogSeverity severity, const QString& message) const;
    // A line under its bracketed word; the scheduler's lines (lanes among them) come tagged.
    void writeLine(const QString& tag, const QString& message) const;
    std::chrono::milliseconds scaled(std::chrono::milliseconds interval) const;
    void setRunning(bool running);
    void setState(EngineState state);

    TaskOrchestratorDependencies deps_;
    bool isRunning_ = false;
    EngineState currentState_ = EngineState::idle;
    QString progressText_;
    QString corvantaKey_;
    qint64 deviceId_ = 0;
    // Set by stop() and pause(), cleared by start() and resume(): the loop runs no further task and
    // ends at its next check, and nothing more is submitted.
    bool haltRequested_ = false;
    QString stopReason_;
    // Sign-in checks in flight, so that an ended sign-in is reported with the right words.
    bool loopChecksSignIn_ = false;
    int submitsCheckingSignIn_ = 0;
    // Counts starts, so a loop that outlives a stop and a new start leaves the new run alone.
    std::uint64_t runGeneration_ = 0;
    std::shared_ptr<std::stop_source> loopTask_;
    std::shared_ptr<std::stop_source> runtimeTickerTask_;
    TaskFetchFailureTracker taskFetchFailureTracker_;
    RestartBackoff backoff_;
    // Set by endBecause for a stop that can pass, until the restart is scheduled.
    QString pendingRestartReason_;
    QString restartReason_;
    QTimer restartTimer_;
    QTimer countdownTimer_;
    TaskSessionStats sessionStats_;
    QHash<QString, QDateTime> taskFetchedAtById_;
};

}  // namespace corvanta::tasks
