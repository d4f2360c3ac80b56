#include "tasks/task_orchestrator.h"

#include <QLocale>
#include <QPointer>

#include <algorithm>
#include <utility>

#include "async/cancellable_sleep.h"
#include "backend/api_client.h"
#include "backend/device_repository.h"
#include "backend/endpoints.h"
#include "backend/errors.h"
#include "backend/key_store.h"
#include "guard/pressure_controller.h"
#include "log/log_tag.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {

namespace {

using namespace std::chrono_literals;
using log::LogCategory;
using log::LogSeverity;

QString describe(const std::exception& error) {
    if (const auto* backendError = dynamic_cast<const backend::BackendError*>(&error)) {
        return backendError->description();
    }
    return QString::fromUtf8(error.what());
}

// The validator the coordinator calls; it holds the orchestrator weakly.
QCoro::Task<bool> submitThrough(QPointer<TaskOrchestrator> orchestrator, std::uint64_t nonce,
                                QString taskId, std::stop_token stop) {
    if (!orchestrator) {
        co_return false;
    }
    co_return co_await orchestrator->submitResult(nonce, std::move(taskId), std::move(stop));
}

// A submission whose answer never arrived (no connection, a time-out, a dropped or unreadable
// reply) or that met a server error: the backend may not have seen it, or may have accepted it
// and lost the reply, so the same nonce goes again. A refusal, a 401 or a stop is final.
bool worthSendingAgain(const std::exception& error) {
    if (const auto* transport = dynamic_cast<const backend::TransportError*>(&error)) {
        return !transport->isCancellation();
    }
    if (const auto* api = dynamic_cast<const backend::ApiError*>(&error)) {
        switch (api->kind()) {
            case backend::ApiError::Kind::httpError:
                return api->statusCode() >= 500 && api->statusCode() <= 599;
            case backend::ApiError::Kind::invalidResponse:
            case backend::ApiError::Kind::decodingFailed:
                return true;
            default:
                return false;
        }
    }
    return false;
}

// A failure that may well be gone a little later: no connection, a time-out, a server error.
// A refusal of the key or the device, or a 401, will not pass by waiting.
bool failsOnlyForNow(const std::exception& error) {
    if (const auto* transport = dynamic_cast<const backend::TransportError*>(&error)) {
        return !transport->isCancellation();
    }
    if (const auto* api = dynamic_cast<const backend::ApiError*>(&error)) {
        return api->kind() == backend::ApiError::Kind::httpError && api->statusCode() >= 500 &&
               api->statusCode() <= 599;
    }
    return false;
}

}  // namespace

TaskOrchestrator::TaskOrchestrator(TaskOrchestratorDependencies dependencies, QObject* parent)
    : QObject(parent),
      deps_(std::move(dependencies)),
      backoff_(deps_.restartDelayScale, deps_.unitRandom) {
    QPointer<TaskOrchestrator> self(this);
    restartTimer_.setSingleShot(true);
    // The countdown shows its seconds: the restart comes when it says.
    restartTimer_.setTimerType(Qt::PreciseTimer);
    connect(&restartTimer_, &QTimer::timeout, this, &TaskOrchestrator::restartNow);
    countdownTimer_.setInterval(1000);
    connect(&countdownTimer_, &QTimer::timeout, this, &TaskOrchestrator::restartCountdownChanged);
    deps_.scheduler->setOnLog([self](const QString& category, const QString& message) {
        if (self) {
            self->writeLine(category, message);
        }
    });
    deps_.scheduler->setOnProgress([self](const QString& taskId, const QString&, int difficulty,
                                          std::uint64_t position, std::uint64_t upperBound) {
        if (!self) {
            return;
        }
        self->sessionStats_.currentTaskId = taskId;
        self->sessionStats_.currentDifficulty = difficulty;
        self->sessionStats_.noncePosition = std::min(position, upperBound);
        self->sessionStats_.upperBound = upperBound;
        self->refreshProgress();
    });
    progressText_ = sessionStats_.progressText(deps_.clock());
}

TaskOrchestrator::~TaskOrchestrator() {
    if (loopTask_) {
        loopTask_->request_stop();
    }
    cancelTicker();
}

double TaskOrchestrator::nonceRate() const {
    return isRunning_ && currentState_ == EngineState::running ? deps_.scheduler->latestRate() : 0;
}

std::chrono::milliseconds TaskOrchestrator::scaled(std::chrono::milliseconds interval) const {
    return std::chrono::milliseconds(
        static_cast<std::int64_t>(static_cast<double>(interval.count()) * deps_.intervalScale));
}

void TaskOrchestrator::count(std::atomic<std::uint64_t> EngineCounters::*counter) const {
    if (deps_.counters) {
        (deps_.counters->*counter).fetch_add(1, std::memory_order_relaxed);
    }
}

void TaskOrchestrator::log(LogCategory category, const QString& message) const {
    log(category, LogSeverity::info, message);
}

void TaskOrchestrator::log(LogCategory category, LogSeverity severity,
                           const QString& message) const {
    writeLine(logTag(category, severity), message);
}

void TaskOrchestrator::writeLine(const QString& tag, const QString& message) const {
    if (deps_.log) {
        deps_.log(deviceId_ == 0 ? QStringLiteral("?") : QString::number(deviceId_), tag, message);
    }
}

void TaskOrchestrator::setRunning(bool running) {
    if (isRunning_ != running) {
        isRunning_ = running;
        emit isRunningChanged();
    }
}

void TaskOrchestrator::setState(EngineState state) {
    if (currentState_ != state) {
        currentState_ = state;
        emit currentStateChanged();
    }
}

void TaskOrchestrator::refreshProgress() {
    const QString text = sessionStats_.progressText(deps_.clock());
    if (text != progressText_) {
        progressText_ = text;
        emit progressTextChanged();
    }
}

QString TaskOrchestrator::maskedKey(const QString& key) {
    return backend::maskedKey(key);
}

void TaskOrchestrator::startTicker() {
    cancelTicker();
    runtimeTickerTask_ = std::make_shared<std::stop_source>();
    runtimeTicker(runtimeTickerTask_->get_token());
}

void TaskOrchestrator::cancelTicker() {
    if (runtimeTickerTask_) {
        runtimeTickerTask_->request_stop();
        runtimeTickerTask_.reset();
    }
}

QCoro::Task<void> TaskOrchestrator::runtimeTicker(std::stop_token stop) {
    QPointer<TaskOrchestrator> self(this);
    while (!stop.stop_requested()) {
        if (!self) {
            co_return;
        }
        self->refreshProgress();
        if (!co_await async::sleepFor(scaled(1000ms), stop)) {
            co_return;
        }
    }
}

QCoro::Task<void> TaskOrchestrator::start() {
    if (isRunning_) {
        log(LogCategory::taskEngine, LogSeverity::debug,
            QStringLiteral("start ignored; engine already running"));
        co_return;
    }
    cancelRestart();
    QPointer<TaskOrchestrator> self(this);
    const std::uint64_t generation = ++runGeneration_;
    const QDateTime now = deps_.clock();
    sessionStats_ = TaskSessionStats{};
    sessionStats_.markEngineStarted(now);
    refreshProgress();
    setState(EngineState::running);
    setRunning(true);
    haltRequested_ = false;
    stopReason_.clear();
    taskFetchFailureTracker_ = TaskFetchFailureTracker{};
    startTicker();

    const guard::SystemSnapshot snapshot =
        deps_.currentSnapshot ? deps_.currentSnapshot() : guard::SystemSnapshot{};
    log(LogCategory::engine,
        QStringLiteral("CPU: ") + snapshot.cpuModel + QStringLiteral(" (") +
            QString::number(snapshot.cpuCoreCount) + QStringLiteral(" Cores) | Memory: ") +
            QLocale::c().formattedDataSize(static_cast<qint64>(snapshot.memoryTotal), 1,
                                           QLocale::DataSizeTraditionalFormat));
    log(LogCategory::taskEngine, QStringLiteral("engine started"));

    const DeviceIdentity identity =
        deps_.deviceIdentity ? deps_.deviceIdentity() : DeviceIdentity{};
    corvantaKey_ =
        deps_.loadStoredKey ? deps_.loadStoredKey(identity.sn).value_or(QString()) : QString();
    if (!corvantaKey_.isEmpty()) {
        log(LogCategory::auth, QStringLiteral("key loaded ") + maskedKey(corvantaKey_));
    } else {
        log(LogCategory::auth, QStringLiteral("no key stored; awaiting user configuration"));
    }

    // The run's stop source exists from here on, so a stop during registration aborts it.
    const auto runStop = std::make_shared<std::stop_source>();
    loopTask_ = runStop;
    if (deviceId_ == 0) {
        const CallOutcome registered = co_await registerDevice(identity, runStop->get_token());
        if (!self || generation != runGeneration_ || !isRunning_) {
            co_return;  // stopped (or restarted) while registering
        }
        if (registered != CallOutcome::succeeded) {
            endBecause(LogCategory::device, LogSeverity::error,
                       QStringLiteral("❌ device registration failed"),
                       registered == CallOutcome::failedForNow
                           ? QStringLiteral("registration failed")
                           : QString());
            setRunning(false);
            setState(EngineState::stopped);
            cancelTicker();
            scheduleRestartIfDue();
            co_return;
        }
    }

    deps_.coordinator->setValidator(
        [self](std::uint64_t nonce, QString, QString taskId, std::stop_token stop) {
            return submitThrough(self, nonce, std::move(taskId), std::move(stop));
        });
    if (deps_.pressure) {
        deps_.pressure->start();
    }
    mainLoop(runStop->get_token(), generation);
}

QCoro::Task<TaskOrchestrator::CallOutcome> TaskOrchestrator::registerDevice(
    const DeviceIdentity& identity, std::stop_token stop) {
    QPointer<TaskOrchestrator> self(this);
    log(LogCategory::device,
        QStringLiteral("register sn=") + identity.sn + QStringLiteral(" cpu=") + identity.cpu);
    try {
        const auto reply =
            co_await deps_.devices->registerDevice(identity.sn, identity.name, identity.cpu, stop);
        if (!self) {
            co_return CallOutcome::refused;
        }
        deviceId_ = reply.id;
        log(LogCategory::device,
            QStringLiteral("✅ registration success deviceId=") + QString::number(reply.id));
        co_return CallOutcome::succeeded;
    } catch (const std::exception& error) {
        // A request aborted by a stop is no failure of the registration.
        if (self && !stop.stop_requested()) {
            log(LogCategory::device, LogSeverity::error,
                QStringLiteral("❌ registration failed error=") + describe(error));
        }
        co_return failsOnlyForNow(error) ? CallOutcome::failedForNow : CallOutcome::refused;
    }
}

QCoro::Task<TaskOrchestrator::CallOutcome> TaskOrchestrator::verifyKey(std::stop_token stop) {
    QPointer<TaskOrchestrator> self(this);
    constexpr int maxAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        QString failure;
        // The last attempt's failure decides whether waiting may help.
        CallOutcome outcome = CallOutcome::refused;
        try {
            co_await deps_.devices->apiClient().requestEmpty(
                backend::DeviceEndpoint::checkApiKey(corvantaKey_, deviceId_), stop);
            co_return CallOutcome::succeeded;
        } catch (const std::exception& error) {
            failure = describe(error);
            outcome = failsOnlyForNow(error) ? CallOutcome::failedForNow : CallOutcome::refused;
        }
        // A stop aborts the request: that is no verdict on the key, and nothing to retry.
        if (!self || stop.stop_requested()) {
            co_return CallOutcome::refused;
        }
        log(LogCategory::auth, QStringLiteral("❌ key verification failed attempt=%1/%2 error=")
                                       .arg(attempt)
                                       .arg(maxAttempts) +
                                   failure);
        if (attempt == maxAttempts) {
            co_return outcome;
        }
        co_await async::sleepFor(scaled(1000ms), stop);
        if (!self) {
            co_return CallOutcome::refused;
        }
    }
}

QCoro::Task<std::optional<TaskOrchestrator::FetchedTask>> TaskOrchestrator::fetchNextTask(
    std::stop_token stop) {
    QPointer<TaskOrchestrator> self(this);
    std::optional<backend::DeviceTaskResponse> reply;
    QString failure;
    try {
        reply = co_await deps_.devices->fetchTask(deviceId_, stop);
    } catch (const std::exception& error) {
        failure = describe(error);
    }
    if (!self || stop.stop_requested()) {
        co_return std::nullopt;  // aborted by a stop: not a failed fetch
    }
    if (!reply) {
        log(LogCategory::task, QStringLiteral("❌ task fetch failed error=") + failure);
        co_return std::nullopt;
    }
    const QString seed = reply->seed ? reply->seed->trimmed() : QString();
    // A seed of megabytes would be hashed with every nonce and stored with every progress save.
    const bool seedUsable = !seed.isEmpty() && seed.toUtf8().size() <= kMaxSeedBytes;
    if (!seedUsable || !reply->difficulty || *reply->difficulty < 1) {
        log(LogCategory::task, QStringLiteral("task response missing seed or difficulty"));
        co_return std::nullopt;
    }
    const std::uint64_t upper = reply->nonceUpperBound && *reply->nonceUpperBound >= 1
                                    ? static_cast<std::uint64_t>(*reply->nonceUpperBound)
                                    : kDefaultUpperBound;
    // A difficulty beyond 64 can never be met; keep it representable for the engine.
    const int difficulty = static_cast<int>(std::min<qint64>(*reply->difficulty, 1'000));
    co_return FetchedTask{reply->taskId, seed, difficulty, upper};
}

QCoro::Task<void> TaskOrchestrator::mainLoop(std::stop_token stop, std::uint64_t generation) {
    QPointer<TaskOrchestrator> self(this);
    log(LogCategory::taskEngine, QStringLiteral("main loop started"));
    // After every await the loop looks at the stop token (which ends it even when a new start
    // has set the shared flags again) and at the pause flag: a pause between tasks runs no task.
    auto halted = [&] { return stop.stop_requested() || haltRequested_; };
    while (self && isRunning_ && !halted()) {
        loopChecksSignIn_ = true;
        const bool signedIn = co_await deps_.verifySignIn();
        if (!self) {
            co_return;
        }
        loopChecksSignIn_ = false;
        if (!signedIn) {
            // An ended sign-in has already stopped the engine through signInEnded(); a check
            // that failed otherwise (no connection, a server error) stops it here.
            if (!halted()) {
                stopBecause(LogCategory::auth, QStringLiteral("token unavailable; stopping engine"),
                            QStringLiteral("sign-in check failed"));
            }
            break;
        }
        if (halted()) {
            break;
        }
        if (corvantaKey_.trimmed().isEmpty()) {
            endBecause(LogCategory::auth, LogSeverity::info,
                       QStringLiteral("no key configured; task loop paused"));
            setState(EngineState::waitingKey);
            break;
        }
        const CallOutcome verified = co_await verifyKey(stop);
        if (!self) {
            co_return;
        }
        if (halted()) {
            break;
        }
        if (verified != CallOutcome::succeeded) {
            endBecause(LogCategory::auth, LogSeverity::error,
                       QStringLiteral("❌ key verification failed"),
                       verified == CallOutcome::failedForNow ? QStringLiteral("key check failed")
                                                             : QString());
            setState(EngineState::stopped);
            break;
        }
        const auto task = co_await fetchNextTask(stop);
        if (!self) {
            co_return;
        }
        if (halted()) {
            break;
        }
        if (!task) {
            auto& tracker = taskFetchFailureTracker_;
            ++tracker.failureCount;
            if (tracker.failureCount >= tracker.maxFailures) {
                endBecause(LogCategory::task, LogSeverity::error,
                           QStringLiteral("❌ task fetch failed %1 consecutive times; loop stopped")
                               .arg(tracker.maxFailures),
                           QStringLiteral("task fetch failed %1 times").arg(tracker.maxFailures));
                setState(EngineState::stopped);
                break;
            }
            log(LogCategory::task, LogSeverity::warning,
                QStringLiteral("⚠️ task fetch failed; retry in 5s"));
            co_await async::sleepFor(scaled(5000ms), stop);
            if (!self) {
                co_return;
            }
            continue;
        }
        // The run of an earlier start may still be winding down its lanes; the scheduler runs
        // one task at a time.
        while (deps_.scheduler->isRunning() && !halted()) {
            co_await async::sleepFor(50ms, stop);
            if (!self) {
                co_return;
            }
        }
        if (halted()) {
            break;
        }

        taskFetchFailureTracker_.failureCount = 0;
        const QDateTime now = deps_.clock();
        taskFetchedAtById_.insert(task->taskId, now);
        sessionStats_.currentTaskId = task->taskId;
        sessionStats_.currentDifficulty = task->difficulty;
        sessionStats_.noncePosition = 0;
        sessionStats_.upperBound = task->upperBound;
        sessionStats_.currentTaskStartedAt = now;
        sessionStats_.currentTaskPausedAt.reset();
        sessionStats_.currentTaskPausedDuration = 0;
        ++sessionStats_.claimedCount;
        refreshProgress();
        log(LogCategory::task, QStringLiteral("fetched id=%1 diff=%2 upper=%3")
                                   .arg(task->taskId)
                                   .arg(task->difficulty)
                                   .arg(task->upperBound));

        bool solved = false;
        try {
            solved = co_await deps_.scheduler->runTask(task->taskId, task->seed, task->difficulty,
                                                       task->upperBound, 0, stop);
        } catch (const std::exception& error) {
            if (self) {
                log(LogCategory::task, LogSeverity::error,
                    QStringLiteral("task run failed error=") + describe(error));
            }
        }
        if (!self) {
            co_return;
        }
        taskFetchedAtById_.remove(task->taskId);
        if (solved) {
            // The backend is back: the next outage starts the back-off from its beginning.
            backoff_.reset();
            ++sessionStats_.completedCount;
            count(&EngineCounters::tasksSolved);
            refreshProgress();
            log(LogCategory::task, QStringLiteral("✅ verified id=") + task->taskId);
        } else if (halted() || deps_.scheduler->isCancelled()) {
            // Abandoned, also when a pause was taken back while the run wound down: no verdict.
            log(LogCategory::task, QStringLiteral("⏸️ search cancelled"));
        } else {
            ++sessionStats_.failedCount;
            count(&EngineCounters::tasksFailed);
            refreshProgress();
        }
    }
    if (self) {
        finishLoop(generation);
    }
}

void TaskOrchestrator::finishLoop(std::uint64_t generation) {
    if (generation != runGeneration_) {
        // A newer start owns the state, the ticker and the pressure controller now.
        log(LogCategory::taskEngine, QStringLiteral("main loop exited"));
        emit loopExited();
        return;
    }
    sessionStats_.pauseClocks(deps_.clock());
    refreshProgress();
    setRunning(false);
    if (currentState_ == EngineState::running) {
        setState(haltRequested_ ? EngineState::paused : EngineState::stopped);
    }
    cancelTicker();
    if (deps_.pressure) {
        deps_.pressure->stop();
    }
    log(LogCategory::taskEngine, QStringLiteral("main loop exited"));
    // Before loopExited, so that whoever listens sees the engine restarting rather than stopped.
    scheduleRestartIfDue();
    emit loopExited();
}

QCoro::Task<bool> TaskOrchestrator::submitResult(std::uint64_t nonce, QString taskId,
                                                 std::stop_token stop) {
    QPointer<TaskOrchestrator> self(this);
    // Nothing is sent for a task the scheduler no longer runs, nor once the call is told to stop.
    auto inactive = [&] {
        return !self || !isRunning_ || haltRequested_ || stop.stop_requested() ||
               !deps_.scheduler->runsTask(taskId);
    };
    if (inactive()) {
        co_return false;
    }
    const auto fetchedAt = taskFetchedAtById_.constFind(taskId);
    if (fetchedAt != taskFetchedAtById_.constEnd()) {
        const double elapsed = static_cast<double>(fetchedAt->msecsTo(deps_.clock())) / 1000.0;
        double wait = std::max(5.0 - elapsed, 0.0);
        if (wait > 0) {
            log(LogCategory::submit, QStringLiteral("⏳ wait ") + QString::asprintf("%.1f", wait) +
                                         QStringLiteral("s before pullTask id=") + taskId);
            while (wait > 0 && !inactive()) {
                const double step = std::min(wait, 0.1);
                co_await async::sleepFor(
                    scaled(std::chrono::milliseconds(static_cast<std::int64_t>(step * 1000))),
                    stop);
                wait -= step;
            }
        }
    }
    if (inactive()) {
        co_return false;
    }
    ++submitsCheckingSignIn_;
    const bool signedIn = co_await deps_.verifySignIn();
    if (!self) {
        co_return false;
    }
    --submitsCheckingSignIn_;
    if (!signedIn) {
        // An ended sign-in has already stopped the engine through signInEnded(); a check that
        // failed otherwise stops it here, lanes and all.
        if (isRunning_ && !haltRequested_ && !stop.stop_requested()) {
            stopBecause(LogCategory::auth,
                        QStringLiteral("token invalid before submit; stopping engine"),
                        QStringLiteral("sign-in check failed"));
        }
        co_return false;
    }
    if (inactive()) {
        co_return false;
    }
    const QString nonceText = QString::number(nonce);
    log(LogCategory::submit,
        QStringLiteral("📤 pullTask start id=") + taskId + QStringLiteral(" nonce=") + nonceText);
    count(&EngineCounters::candidatesSubmitted);
    constexpr int maxAttempts = 3;
    QString failure;
    bool refused = false;
    bool sent = false;
    for (int attempt = 1; !sent; ++attempt) {
        bool again = false;
        try {
            co_await deps_.devices->apiClient().requestEmpty(
                backend::DeviceEndpoint::pullTask(taskId, nonceText), stop);
            sent = true;
        } catch (const std::exception& error) {
            failure = describe(error);
            again = worthSendingAgain(error);
            refused = !again;
        }
        if (!self || stop.stop_requested()) {
            co_return false;  // stopped: no verdict on the nonce
        }
        if (sent || !again || attempt == maxAttempts) {
            break;
        }
        const auto delay = std::chrono::seconds(attempt);
        log(LogCategory::submit, QStringLiteral("⚠️ pullTask attempt=%1/%2 failed id=")
                                         .arg(attempt)
                                         .arg(maxAttempts) +
                                     taskId + QStringLiteral(" nonce=") + nonceText +
                                     QStringLiteral(" error=") + failure +
                                     QStringLiteral("; retry in %1s").arg(delay.count()));
        co_await async::sleepFor(scaled(delay), stop);
        if (inactive()) {
            co_return false;
        }
    }
    if (!sent) {
        if (refused) {
            count(&EngineCounters::candidatesRefused);
        }
        log(LogCategory::submit, QStringLiteral("❌ pullTask failed id=") + taskId +
                                     QStringLiteral(" nonce=") + nonceText +
                                     QStringLiteral(" error=") + failure);
        co_return false;
    }
    if (!self || !isRunning_ || haltRequested_) {
        co_return false;
    }
    count(&EngineCounters::candidatesAccepted);
    log(LogCategory::submit,
        QStringLiteral("✅ pullTask ok id=") + taskId + QStringLiteral(" nonce=") + nonceText);
    co_return true;
}

void TaskOrchestrator::stop() {
    if (!isRunning_) {
        if (currentState_ == EngineState::restarting) {
            cancelRestart();
            log(LogCategory::taskEngine, QStringLiteral("engine stopped"));
            setState(EngineState::stopped);
        }
        return;
    }
    setRunning(false);
    haltRequested_ = true;
    if (loopTask_) {
        loopTask_->request_stop();
        loopTask_.reset();
    }
    sessionStats_.pauseClocks(deps_.clock());
    refreshProgress();
    cancelTicker();
    deps_.scheduler->cancelRun();
    deps_.coordinator->resetValidation();
    if (deps_.pressure) {
        deps_.pressure->stop();
    }
    log(LogCategory::taskEngine, QStringLiteral("engine stopped"));
    setState(EngineState::stopped);
}

void TaskOrchestrator::endBecause(LogCategory category, LogSeverity severity, const QString& reason,
                                  const QString& restartBecause) {
    log(category, severity, reason);
    stopReason_ = reason;
    pendingRestartReason_ = restartBecause;
}

void TaskOrchestrator::stopBecause(LogCategory category, const QString& reason,
                                   const QString& restartBecause) {
    if (!isRunning_) {
        // An ended sign-in calls off a scheduled restart too.
        if (currentState_ == EngineState::restarting) {
            endBecause(category, LogSeverity::info, reason);
            stop();
        }
        return;
    }
    endBecause(category, LogSeverity::info, reason, restartBecause);
    stop();
    scheduleRestartIfDue();
}

void TaskOrchestrator::scheduleRestartIfDue() {
    const QString reason = std::exchange(pendingRestartReason_, QString());
    if (reason.isEmpty() || isRunning_ || currentState_ != EngineState::stopped) {
        return;
    }
    if (deps_.isSignedIn && !deps_.isSignedIn()) {
        return;  // signed out meanwhile: nothing to come back to
    }
    const std::chrono::milliseconds delay = backoff_.next();
    restartReason_ = reason;
    restartTimer_.start(delay);
    countdownTimer_.start();
    log(LogCategory::engine, QStringLiteral("⏳ engine restarts in %1s (%2)")
                                 .arg((delay.count() + 999) / 1000)
                                 .arg(reason));
    emit restartCountdownChanged();
    // Last: whoever watches the state may pause or stop the engine right away.
    setState(EngineState::restarting);
}

void TaskOrchestrator::cancelRestart() {
    pendingRestartReason_.clear();
    restartTimer_.stop();
    countdownTimer_.stop();
    if (!restartReason_.isEmpty()) {
        restartReason_.clear();
        emit restartCountdownChanged();
    }
}

void TaskOrchestrator::restartNow() {
    if (currentState_ != EngineState::restarting) {
        return;
    }
    if (deps_.isSignedIn && !deps_.isSignedIn()) {
        cancelRestart();
        setState(EngineState::stopped);
        return;
    }
    // The task ends on its own; dropping it does not cancel it. start() calls the countdown off.
    [[maybe_unused]] auto starting = start();
}

std::chrono::milliseconds TaskOrchestrator::restartRemaining() const {
    if (currentState_ != EngineState::restarting || !restartTimer_.isActive()) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::milliseconds(std::max(restartTimer_.remainingTime(), 0));
}

int TaskOrchestrator::restartSecondsLeft() const {
    return static_cast<int>((restartRemaining().count() + 999) / 1000);
}

void TaskOrchestrator::signInEnded() {
    // The check that found the sign-in over gives the words; a submit's check only when the
    // loop is not checking as well.
    const bool bySubmit = submitsCheckingSignIn_ > 0 && !loopChecksSignIn_;
    stopBecause(LogCategory::auth, bySubmit ? QStringLiteral("token invalid before submit; "
                                                             "stopping engine")
                                            : QStringLiteral("token unavailable; stopping engine"));
}

void TaskOrchestrator::pause() {
    if (currentState_ == EngineState::restarting) {
        // The user's pause wins over the scheduled restart.
        cancelRestart();
        setState(EngineState::paused);
        log(LogCategory::taskEngine, QStringLiteral("⏸️ engine paused"));
        return;
    }
    if (!isRunning_ || haltRequested_) {
        return;
    }
    haltRequested_ = true;
    sessionStats_.pauseClocks(deps_.clock());
    refreshProgress();
    deps_.scheduler->cancelRun();
    deps_.coordinator->resetValidation();
    setState(EngineState::paused);
    log(LogCategory::taskEngine, QStringLiteral("⏸️ engine paused"));
}

void TaskOrchestrator::resume() {
    // A loop that has already ended cannot carry on: start() runs a new one.
    if (!isRunning_ || !haltRequested_ || currentState_ != EngineState::paused) {
        return;
    }
    haltRequested_ = false;
    setState(EngineState::running);
    sessionStats_.resumeClocks(deps_.clock());
    refreshProgress();
    log(LogCategory::taskEngine, QStringLiteral("▶️ engine resumed"));
}

}  // namespace corvanta::tasks
