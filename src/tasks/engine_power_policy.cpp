#include "tasks/engine_power_policy.h"

#include <QTimer>

#include "platform/battery_monitor.h"
#include "platform/sleep_monitor.h"
#include "tasks/task_orchestrator.h"

namespace corvanta::tasks {

EnginePowerPolicy::EnginePowerPolicy(TaskOrchestrator& orchestrator, QSettings& settings,
                                     platform::BatteryMonitor& battery,
                                     platform::SleepMonitor& sleep, QObject* parent)
    : QObject(parent),
      orchestrator_(orchestrator),
      settings_(settings),
      battery_(battery),
      sleep_(sleep) {
    connect(&sleep, &platform::SleepMonitor::aboutToSleep, this,
            &EnginePowerPolicy::machineGoesToSleep);
    connect(&sleep, &platform::SleepMonitor::wokeUp, this, [this] {
        release(sleeping, QStringLiteral("☀️ machine woke up; engine resumed"));
    });
    connect(&battery_, &platform::BatteryMonitor::batteryChanged, this, [this] {
        applyBattery();
        // The setting's default follows the battery until the user sets it.
        emit pauseOnBatteryChanged();
    });
    connect(&orchestrator_, &TaskOrchestrator::currentStateChanged, this,
            &EnginePowerPolicy::engineStateChanged);
}

bool EnginePowerPolicy::hasBattery() const {
    return battery_.hasBattery();
}

bool EnginePowerPolicy::pauseOnBattery() const {
    const QVariant stored = settings_.value(QLatin1String(kPauseOnBatteryKey));
    return stored.isValid() ? stored.toBool() : battery_.hasBattery();
}

void EnginePowerPolicy::setPauseOnBattery(bool enabled) {
    if (settings_.value(QLatin1String(kPauseOnBatteryKey)).isValid() &&
        pauseOnBattery() == enabled) {
        return;
    }
    settings_.setValue(QLatin1String(kPauseOnBatteryKey), enabled);
    emit pauseOnBatteryChanged();
    applyBattery();
}

void EnginePowerPolicy::machineGoesToSleep() {
    hold(sleeping, QStringLiteral("💤 machine going to sleep; engine paused"));
    disconnect(sleepWhenWoundDown_);
    if (!orchestrator_.isRunning()) {
        sleep_.allowSleep();
        return;
    }
    // The lanes hand back their segments and save their progress as the loop winds down.
    sleepWhenWoundDown_ = connect(&orchestrator_, &TaskOrchestrator::loopExited, this, [this] {
        disconnect(sleepWhenWoundDown_);
        sleep_.allowSleep();
    });
}

void EnginePowerPolicy::applyBattery() {
    if (battery_.isOnBattery() && pauseOnBattery()) {
        hold(onBattery, QStringLiteral("🔋 running on battery; engine paused"));
    } else {
        release(onBattery, QStringLiteral("🔌 on mains power; engine resumed"));
    }
}

void EnginePowerPolicy::hold(Reason reason, const QString& line) {
    if (held_ != 0) {
        held_ |= reason;  // paused already, by this policy
        return;
    }
    const EngineState state = orchestrator_.currentState();
    const bool active = (state == EngineState::running && orchestrator_.isRunning()) ||
                        state == EngineState::restarting;
    if (!active) {
        return;  // nothing runs, or the user has paused it: nothing to take back later
    }
    held_ = reason;
    orchestrator_.logLine(log::LogCategory::engine, line);
    acting_ = true;
    orchestrator_.pause();
    acting_ = false;
}

void EnginePowerPolicy::release(Reason reason, const QString& line) {
    if ((held_ & reason) == 0) {
        return;
    }
    held_ &= ~static_cast<unsigned>(reason);
    if (held_ != 0 || orchestrator_.currentState() != EngineState::paused) {
        return;
    }
    orchestrator_.logLine(log::LogCategory::engine, line);
    acting_ = true;
    if (orchestrator_.isRunning()) {
        orchestrator_.resume();  // the paused loop had not ended yet: it carries on
    } else {
        // The task ends on its own; dropping it does not cancel it.
        [[maybe_unused]] auto starting = orchestrator_.start();
    }
    acting_ = false;
}

void EnginePowerPolicy::engineStateChanged() {
    // The user started or stopped the engine while this policy held it paused: the pause is
    // theirs to decide from now on.
    if (acting_) {
        return;
    }
    const EngineState state = orchestrator_.currentState();
    if (held_ != 0 && state != EngineState::paused) {
        held_ = 0;
    }
    // An engine that starts on battery (at launch, after a restart, by hand) pauses as well; once
    // its start has got going, so that the pause is not lost in the start's own steps.
    if (state == EngineState::running) {
        QTimer::singleShot(0, this, &EnginePowerPolicy::applyBattery);
    }
}

}  // namespace corvanta::tasks
