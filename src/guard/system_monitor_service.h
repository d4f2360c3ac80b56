#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

#include "guard/monotonic_clock.h"
#include "guard/system_snapshot.h"
#include "platform/sensors/gpu_busy_reader.h"
#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/power_supply_reader.h"
#include "platform/sensors/pressure_stall_reader.h"
#include "platform/sensors/proc_stat_reader.h"
#include "platform/sensors/thermal_sensor_reader.h"

namespace corvanta::guard {

struct SystemMonitorOptions {
    std::filesystem::path root = "/";  // where /proc and /sys are read
    std::chrono::milliseconds sampleInterval{1000};
    MonotonicClock clock = &steadyNow;
    bool allowNvml = true;
    // The battery, as the battery monitor last saw it; unset: no battery.
    std::function<std::optional<platform::BatteryReading>()> battery;
};

// Keeps one observable snapshot of the machine's load, sampled on the main thread so that a busy
// main thread shows up as a late sample. Starts are counted; the pressure controller releases
// them and stops the monitor when none are left.
class SystemMonitorService : public QObject {
    Q_OBJECT
    Q_PROPERTY(corvanta::guard::SystemSnapshot currentSnapshot READ currentSnapshot NOTIFY
                   currentSnapshotChanged)
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)

public:
    explicit SystemMonitorService(SystemMonitorOptions options = {}, QObject* parent = nullptr);
    ~SystemMonitorService() override;

    const SystemSnapshot& currentSnapshot() const { return snapshot_; }
    bool isRunning() const { return running_; }
    int startCount() const { return startCount_; }
    // The thermal state seen by the latest poll (read once at construction before that).
    platform::ThermalState thermalState() const { return thermalState_; }

    // Counts a start and runs the sampling timer; does not sample at once.
    void start();
    // Stops sampling whatever the start count is.
    void stop();
    // Takes back one start; the count never goes below 0.
    void releaseStart();

    // Takes one sample and publishes it.
    void collectDynamic();

signals:
    void currentSnapshotChanged(const corvanta::guard::SystemSnapshot& snapshot);
    void isRunningChanged(bool running);
    // Raised by a sample whose thermal state differs from the previous poll's.
    void thermalStateChanged();

private:
    SystemMonitorOptions options_;
    platform::ProcStatReader procStat_;
    platform::MemInfoReader memInfo_;
    platform::PressureStallReader pressureStall_;
    platform::ThermalSensorReader thermalSensors_;
    platform::GpuBusyReader gpuBusy_;

    SystemSnapshot snapshot_;
    bool running_ = false;
    QTimer timer_;
    int startCount_ = 0;
    std::optional<MonotonicTime> lastDynamicCollectionAt_;
    platform::CpuTicks previousTicks_;
    platform::ThermalState thermalState_ = platform::ThermalState::nominal;
};

}  // namespace corvanta::guard
