#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>

#include "guard/monotonic_clock.h"
#include "guard/pressure_advice.h"
#include "guard/system_snapshot.h"
#include "guard/thermal_guard.h"

namespace corvanta::guard {

class SystemMonitorService;

struct PressureControllerOptions {
    std::chrono::milliseconds adviceInterval{2000};
    MonotonicClock clock = &steadyNow;
};

// Turns the machine's thermal state, memory pressure, processor load and main-thread latency
// into one piece of advice, renewed every two seconds while running, that the scheduler and its
// lanes obey.
class PressureController : public QObject {
    Q_OBJECT
    Q_PROPERTY(corvanta::guard::PressureAdvice currentAdvice READ currentAdvice NOTIFY
                   currentAdviceChanged)

public:
    explicit PressureController(SystemMonitorService& monitor,
                                PressureControllerOptions options = {}, QObject* parent = nullptr);
    ~PressureController() override;

    const PressureAdvice& currentAdvice() const { return currentAdvice_; }
    ThermalGuard& thermalGuard() { return thermalGuard_; }
    bool isRunning() const { return timer_.isActive(); }

    // Starts the monitor, samples and advises at once, then every advice interval. A second
    // start while running does nothing.
    void start();
    // Stops advising and takes back this controller's start of the monitor, stopping the monitor
    // when no start is left. Does nothing while stopped.
    void stop();

    // Computes and publishes a new advice from the monitor's latest snapshot.
    void refreshAdvice();

    // The advice for one snapshot: the first matching rule of thermal, memory and latency
    // conditions decides; a fair thermal state steps down from `previous`.
    static PressureAdvice adviceFor(const SystemSnapshot& snapshot, const PressureAdvice& previous,
                                    double thermalMultiplier, MonotonicTime now);

signals:
    // Raised for every new advice, also when it equals the previous one.
    void currentAdviceChanged(const corvanta::guard::PressureAdvice& advice);

private:
    PressureControllerOptions options_;
    PressureAdvice currentAdvice_;
    QPointer<SystemMonitorService> systemMonitor_;
    ThermalGuard thermalGuard_;
    QTimer timer_;
};

}  // namespace corvanta::guard
