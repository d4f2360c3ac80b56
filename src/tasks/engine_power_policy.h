#pragma once

#include <QObject>
#include <QSettings>

namespace corvanta::platform {
class BatteryMonitor;
class SleepMonitor;
}  // namespace corvanta::platform

namespace corvanta::tasks {

class TaskOrchestrator;

// Pauses the engine before the machine sleeps and while it runs on battery (when the user wants
// that), and takes back the pauses it made once the reason has passed: after the wake, back on
// mains power. It never undoes the user's own pause, and lets go of its own as soon as the user
// starts or stops the engine. Main thread only.
class EnginePowerPolicy : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool pauseOnBattery READ pauseOnBattery WRITE setPauseOnBattery NOTIFY
                   pauseOnBatteryChanged)
    Q_PROPERTY(bool hasBattery READ hasBattery NOTIFY pauseOnBatteryChanged)

public:
    // The setting's key; absent, the setting is on exactly when the machine has a battery.
    static constexpr const char* kPauseOnBatteryKey = "pauseOnBattery";

    EnginePowerPolicy(TaskOrchestrator& orchestrator, QSettings& settings,
                      platform::BatteryMonitor& battery, platform::SleepMonitor& sleep,
                      QObject* parent = nullptr);

    bool pauseOnBattery() const;
    void setPauseOnBattery(bool enabled);
    bool hasBattery() const;
    // Whether the engine stands paused by this policy (and not by the user).
    bool holdsPause() const { return held_ != 0; }

signals:
    void pauseOnBatteryChanged();

private:
    enum Reason : unsigned { sleeping = 1, onBattery = 2 };

    void hold(Reason reason, const QString& line);
    void release(Reason reason, const QString& line);
    void applyBattery();
    void machineGoesToSleep();
    void engineStateChanged();

    TaskOrchestrator& orchestrator_;
    QSettings& settings_;
    platform::BatteryMonitor& battery_;
    platform::SleepMonitor& sleep_;
    // Until the engine's paused loop has wound down before a sleep.
    QMetaObject::Connection sleepWhenWoundDown_;
    // The reasons this policy keeps the engine paused for; 0: it keeps no pause.
    unsigned held_ = 0;
    // Set while this policy pauses or resumes the engine, so its own state changes are not
    // taken for the user's.
    bool acting_ = false;
};

}  // namespace corvanta::tasks
