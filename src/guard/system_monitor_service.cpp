#include "guard/system_monitor_service.h"

#include <algorithm>

#include "platform/sensors/host_info_reader.h"
#include "platform/sensors/memory_pressure_level.h"

namespace corvanta::guard {

SystemMonitorService::SystemMonitorService(SystemMonitorOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      procStat_(options_.root),
      memInfo_(options_.root),
      pressureStall_(options_.root),
      thermalSensors_(options_.root),
      gpuBusy_(options_.root, options_.allowNvml) {
    // Lateness is the point of the measurement, so the timer must not add its own slack.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(options_.sampleInterval);
    connect(&timer_, &QTimer::timeout, this, &SystemMonitorService::collectDynamic);

    const platform::HostInfo host = platform::HostInfoReader(options_.root).read();
    snapshot_.cpuModel = QString::fromStdString(host.cpuModel);
    snapshot_.cpuCoreCount = host.cpuCoreCount;
    snapshot_.memoryTotal = host.memoryTotal;
    if (host.diskTotal) {
        snapshot_.diskTotal = *host.diskTotal;
    }
    snapshot_.osVersion = QString::fromStdString(host.osVersion);
    snapshot_.architecture = QString::fromStdString(host.architecture);
    snapshot_.serialNumber = QString::fromStdString(host.modelIdentifier);
    snapshot_.hostname = QString::fromStdString(host.hostname);

    thermalState_ = thermalSensors_.readState();
    // The first sample then measures the load since construction.
    previousTicks_ = procStat_.read().value_or(platform::CpuTicks{});
}

SystemMonitorService::~SystemMonitorService() = default;

void SystemMonitorService::start() {
    ++startCount_;
    if (running_) {
        return;
    }
    running_ = true;
    // Time spent stopped is not main-thread lateness; without this the first sample after a
    // restart would report the whole pause as latency and throttle the next run.
    lastDynamicCollectionAt_.reset();
    timer_.start();
    emit isRunningChanged(true);
}

void SystemMonitorService::stop() {
    timer_.stop();
    if (!running_) {
        return;
    }
    running_ = false;
    emit isRunningChanged(false);
}

void SystemMonitorService::releaseStart() {
    if (startCount_ > 0) {
        --startCount_;
    }
}

void SystemMonitorService::collectDynamic() {
    SystemSnapshot next = snapshot_;

    const MonotonicTime now = options_.clock();
    next.mainThreadLatencyMs = 0.0;
    if (lastDynamicCollectionAt_) {
        const std::chrono::duration<double, std::milli> late =
            now - *lastDynamicCollectionAt_ - options_.sampleInterval;
        next.mainThreadLatencyMs = std::max(late.count(), 0.0);
    }
    lastDynamicCollectionAt_ = now;

    const platform::CpuTicks ticks = procStat_.read().value_or(platform::CpuTicks{});
    next.cpuUsage = platform::ProcStatReader::usagePercent(previousTicks_, ticks);
    previousTicks_ = ticks;

    const auto memory = memInfo_.read();
    next.memoryUsed = memory ? memory->totalBytes - memory->availableBytes : 0;
    next.memoryPressure = platform::memoryPressureLevel(pressureStall_.read(), memory);
    next.gpuUsage = gpuBusy_.read();

    const platform::ThermalState thermal = thermalSensors_.readState();
    const std::string_view thermalText = platform::thermalStateText(thermal);
    next.thermalState =
        QString::fromLatin1(thermalText.data(), static_cast<qsizetype>(thermalText.size()));
    const auto battery =
        options_.battery ? options_.battery() : std::optional<platform::BatteryReading>();
    next.hasBattery = battery.has_value();
    next.onBattery = battery && battery->onBattery;
    next.batteryLevel = battery ? battery->percent : 100.0;
    next.batteryState =
        battery ? QString::fromStdString(battery->state) : QStringLiteral("no battery");

    snapshot_ = next;
    emit currentSnapshotChanged(snapshot_);

    if (thermal != thermalState_) {
        thermalState_ = thermal;
        emit thermalStateChanged();
    }
}

}  // namespace corvanta::guard
