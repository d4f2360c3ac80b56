#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "platform/sensors/thermal_state.h"

namespace corvanta::guard {

class SystemMonitorService;

// Follows the machine's thermal state as the system monitor polls it, turns it into a work
// multiplier, and calls back once when the state becomes critical and once when it leaves it.
class ThermalGuard : public QObject {
    Q_OBJECT
    Q_PROPERTY(double currentMultiplier READ currentMultiplier NOTIFY currentMultiplierChanged)
    Q_PROPERTY(QString currentState READ currentStateText NOTIFY currentStateChanged)

public:
    explicit ThermalGuard(SystemMonitorService& monitor, QObject* parent = nullptr);

    // nominal 1.0, fair 0.5, serious 0.25, critical 0.0; any other state 1.0.
    static double multiplierFor(platform::ThermalState state);

    double currentMultiplier() const { return currentMultiplier_; }
    platform::ThermalState currentState() const { return currentState_; }
    QString currentStateText() const;

    void setOnBecomeCritical(std::function<void()> callback);
    void setOnResume(std::function<void()> callback);

    // Handler of the monitor's thermal-state notification.
    void thermalStateChanged();

signals:
    void currentMultiplierChanged(double multiplier);
    void currentStateChanged();

private:
    QPointer<SystemMonitorService> monitor_;
    double currentMultiplier_ = 1.0;
    platform::ThermalState currentState_ = platform::ThermalState::nominal;
    std::function<void()> onBecomeCritical_;
    std::function<void()> onResume_;
};

}  // namespace corvanta::guard
