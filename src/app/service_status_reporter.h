#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <chrono>

namespace corvanta::platform {
class ServiceManagerNotifier;
}
namespace corvanta::tasks {
class TaskOrchestrator;
struct EngineCounters;
}  // namespace corvanta::tasks

namespace corvanta::app {

// Tells the service manager how the headless client is doing: READY=1 the first time the engine
// runs, STATUS= with the engine's state word and rate on every change and every few seconds, and
// WATCHDOG=1 from the main thread at half the interval the unit's watchdog asks for, so that a
// main thread that hangs gets the process restarted. Without a manager it does nothing.
class ServiceStatusReporter : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds kStatusInterval{5};

    // Starts the watchdog at once: the main thread answers for itself while signing in too.
    explicit ServiceStatusReporter(const platform::ServiceManagerNotifier& notifier,
                                   QObject* parent = nullptr);

    // The engine is built: reports its state from now on.
    void follow(const tasks::TaskOrchestrator& orchestrator, const tasks::EngineCounters& counters);
    // The program is on its way out.
    void reportStopping();

    // "running, 1.25M/s": the state word and the rate.
    static QString statusText(const QString& stateWord, double rate);

private:
    void report();

    const platform::ServiceManagerNotifier& notifier_;
    QPointer<const tasks::TaskOrchestrator> orchestrator_;
    const tasks::EngineCounters* counters_ = nullptr;
    bool readySent_ = false;
    QTimer statusTimer_;
    QTimer watchdogTimer_;
};

}  // namespace corvanta::app
