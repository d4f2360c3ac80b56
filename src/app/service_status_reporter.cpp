#include "app/service_status_reporter.h"

#include "platform/service_manager_notifier.h"
#include "tasks/engine_counters.h"
#include "tasks/lane_plan.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::app {

ServiceStatusReporter::ServiceStatusReporter(const platform::ServiceManagerNotifier& notifier,
                                             QObject* parent)
    : QObject(parent), notifier_(notifier) {
    if (!notifier_.isSupervised()) {
        return;
    }
    notifier_.notify(QByteArrayLiteral("STATUS=signing in"));
    if (const auto interval = notifier_.watchdogInterval()) {
        // Half the interval leaves room for a busy moment without a missed ping.
        const auto half = std::chrono::duration_cast<std::chrono::milliseconds>(*interval / 2);
        watchdogTimer_.setInterval(std::max(half, std::chrono::milliseconds(1)));
        connect(&watchdogTimer_, &QTimer::timeout,
                [this] { notifier_.notify(QByteArrayLiteral("WATCHDOG=1")); });
        notifier_.notify(QByteArrayLiteral("WATCHDOG=1"));
        watchdogTimer_.start();
    }
}

void ServiceStatusReporter::follow(const tasks::TaskOrchestrator& orchestrator,
                                   const tasks::EngineCounters& counters) {
    if (!notifier_.isSupervised() || orchestrator_) {
        return;
    }
    orchestrator_ = &orchestrator;
    counters_ = &counters;
    connect(&orchestrator, &tasks::TaskOrchestrator::currentStateChanged, this,
            &ServiceStatusReporter::report);
    statusTimer_.setInterval(kStatusInterval);
    connect(&statusTimer_, &QTimer::timeout, this, &ServiceStatusReporter::report);
    statusTimer_.start();
    report();
}

void ServiceStatusReporter::reportStopping() {
    statusTimer_.stop();
    notifier_.notify(QByteArrayLiteral("STOPPING=1\nSTATUS=stopping"));
}

QString ServiceStatusReporter::statusText(const QString& stateWord, double rate) {
    return stateWord + QStringLiteral(", ") + tasks::rateLabel(rate);
}

void ServiceStatusReporter::report() {
    if (!orchestrator_ || !counters_) {
        return;
    }
    const auto state = orchestrator_->currentState();
    QByteArray message;
    if (!readySent_ && state == tasks::EngineState::running) {
        readySent_ = true;
        message += QByteArrayLiteral("READY=1\n");
    }
    // Registering and checking the key, before the loop runs: no rate to speak of yet.
    const QString status = state == tasks::EngineState::idle
                               ? QStringLiteral("starting")
                               : statusText(tasks::engineStateWord(state),
                                            counters_->nonceRate.load(std::memory_order_relaxed));
    message += QByteArrayLiteral("STATUS=") + status.toUtf8();
    notifier_.notify(message);
}

}  // namespace corvanta::app
