#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QSignalSpy>
#include <QTest>

#include "guard/system_monitor_service.h"
#include "platform/battery_monitor.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::guard {
namespace {

using namespace std::chrono_literals;
using testing::ManualClock;
using testing::SensorFixture;

SystemMonitorOptions optionsFor(const SensorFixture& fixture, ManualClock& clock) {
    SystemMonitorOptions options;
    options.root = fixture.root();
    options.clock = clock.function();
    options.allowNvml = false;
    return options;
}

TEST(SystemMonitorService, SampleMeasuresLatencyLoadMemoryAndThermalState) {
    SensorFixture fixture;
    ManualClock clock;
    fixture.writeProcStat(1000, 0, 500, 8500);
    fixture.writeMemInfo(1'000'000, 100'000);
    fixture.writePressure(0.0, 0.0);
    fixture.writeZone(0, 75'000);
    fixture.write("/proc/cpuinfo", "model name\t: Test CPU\n");

    SystemMonitorService monitor(optionsFor(fixture, clock));
    const SystemSnapshot initial = monitor.currentSnapshot();
    EXPECT_EQ(initial.cpuModel, "Test CPU");
    EXPECT_EQ(initial.memoryTotal, 1'024'000'000u);
    EXPECT_EQ(initial.thermalState, "nominal");
    EXPECT_EQ(initial.batteryLevel, 0.0);
    EXPECT_EQ(monitor.thermalState(), platform::ThermalState::fair);

    // Load since construction: 300 busy ticks of 400.
    fixture.writeProcStat(1200, 0, 600, 8600);
    QSignalSpy published(&monitor, &SystemMonitorService::currentSnapshotChanged);
    monitor.collectDynamic();
    EXPECT_EQ(published.count(), 1);
    SystemSnapshot s = monitor.currentSnapshot();
    EXPECT_EQ(s.mainThreadLatencyMs, 0.0);
    EXPECT_DOUBLE_EQ(s.cpuUsage, 75.0);
    EXPECT_EQ(s.memoryUsed, 900'000u * 1024);
    EXPECT_EQ(s.memoryPressure, 1);
    EXPECT_EQ(s.thermalState, "fair");
    EXPECT_EQ(s.batteryLevel, 100.0);
    EXPECT_FALSE(s.hasBattery);
    EXPECT_FALSE(s.onBattery);
    EXPECT_EQ(s.batteryState, "no battery");
    EXPECT_EQ(s.cpuModel, "Test CPU");

    clock.advance(1300ms);
    monitor.collectDynamic();
    s = monitor.currentSnapshot();
    EXPECT_DOUBLE_EQ(s.mainThreadLatencyMs, 300.0);
    EXPECT_DOUBLE_EQ(s.cpuUsage, 0.0);  // counters did not move

    clock.advance(900ms);
    monitor.collectDynamic();
    EXPECT_EQ(monitor.currentSnapshot().mainThreadLatencyMs, 0.0);

    // Sources that disappear fail soft, and sampling goes on.
    fixture.remove("/proc");
    fixture.remove("/sys");
    clock.advance(1000ms);
    monitor.collectDynamic();
    s = monitor.currentSnapshot();
    EXPECT_EQ(s.cpuUsage, 0.0);
    EXPECT_EQ(s.memoryUsed, 0u);
    EXPECT_EQ(s.memoryPressure, 0);
    EXPECT_EQ(s.thermalState, "unknown");
    EXPECT_EQ(s.memoryTotal, 1'024'000'000u);
    EXPECT_EQ(published.count(), 4);
}

TEST(SystemMonitorService, ThermalNotificationOnlyWhenThePolledStateChanges) {
    SensorFixture fixture;
    ManualClock clock;
    fixture.writeZone(0, 40'000);
    SystemMonitorService monitor(optionsFor(fixture, clock));
    QSignalSpy changed(&monitor, &SystemMonitorService::thermalStateChanged);

    monitor.collectDynamic();
    EXPECT_EQ(changed.count(), 0);
    fixture.writeZone(0, 100'000);
    monitor.collectDynamic();
    monitor.collectDynamic();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(monitor.thermalState(), platform::ThermalState::critical);
    fixture.writeZone(0, 85'000);
    monitor.collectDynamic();
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(monitor.thermalState(), platform::ThermalState::serious);
}

TEST(SystemMonitorService, StartCountTimerAndRestartLatency) {
    SensorFixture fixture;
    ManualClock clock;
    SystemMonitorOptions options = optionsFor(fixture, clock);
    options.sampleInterval = 5ms;
    SystemMonitorService monitor(options);
    QSignalSpy published(&monitor, &SystemMonitorService::currentSnapshotChanged);

    monitor.start();
    monitor.start();
    EXPECT_TRUE(monitor.isRunning());
    EXPECT_EQ(monitor.startCount(), 2);
    EXPECT_EQ(published.count(), 0);  // start does not sample at once
    EXPECT_TRUE(QTest::qWaitFor([&] { return published.count() >= 3; }, 5000));

    // The clock stands still, so every timer sample is early rather than late.
    EXPECT_EQ(monitor.currentSnapshot().mainThreadLatencyMs, 0.0);

    monitor.releaseStart();
    monitor.releaseStart();
    monitor.releaseStart();
    EXPECT_EQ(monitor.startCount(), 0);
    EXPECT_TRUE(monitor.isRunning());  // only stop ends sampling
    monitor.stop();
    EXPECT_FALSE(monitor.isRunning());
    const auto stoppedAt = published.count();
    QTest::qWait(30);
    EXPECT_EQ(published.count(), stoppedAt);

    // A pause is not main-thread lateness: the first sample after a restart reports 0, the next
    // one measures from it again.
    clock.advance(10s);
    monitor.start();
    monitor.collectDynamic();
    EXPECT_EQ(monitor.currentSnapshot().mainThreadLatencyMs, 0.0);
    monitor.stop();
    clock.advance(5ms + 120ms);
    monitor.collectDynamic();
    EXPECT_DOUBLE_EQ(monitor.currentSnapshot().mainThreadLatencyMs, 120.0);
}

TEST(SystemMonitorService, TheBatteryFromSysWhenNoBusAnswers) {
    SensorFixture fixture;
    ManualClock clock;
    fixture.writeProcStat(1000, 0, 500, 8500);
    fixture.writeMemInfo(1'000'000, 100'000);
    fixture.write("/sys/class/power_supply/BAT0/type", "Battery\n");
    fixture.write("/sys/class/power_supply/BAT0/status", "Discharging\n");
    fixture.write("/sys/class/power_supply/BAT0/capacity", "42\n");

    const QDBusConnection noBus = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/corvanta-bus"), QStringLiteral("corvanta-no-bus"));
    platform::BatteryMonitor::Options batteryOptions;
    batteryOptions.root = fixture.root();
    batteryOptions.pollInterval = 20ms;
    platform::BatteryMonitor battery(noBus, batteryOptions);
    EXPECT_TRUE(battery.isOnBattery());

    SystemMonitorOptions options = optionsFor(fixture, clock);
    options.battery = [&battery] { return battery.battery(); };
    SystemMonitorService monitor(options);
    monitor.collectDynamic();
    SystemSnapshot s = monitor.currentSnapshot();
    EXPECT_TRUE(s.hasBattery);
    EXPECT_TRUE(s.onBattery);
    EXPECT_EQ(s.batteryLevel, 42.0);
    EXPECT_EQ(s.batteryState, "discharging");

    // Plugged in: the next reading of /sys says so.
    QSignalSpy changed(&battery, &platform::BatteryMonitor::batteryChanged);
    fixture.write("/sys/class/power_supply/BAT0/status", "Charging\n");
    ASSERT_TRUE(changed.wait(5000));
    monitor.collectDynamic();
    s = monitor.currentSnapshot();
    EXPECT_FALSE(s.onBattery);
    EXPECT_EQ(s.batteryState, "charging");
    QDBusConnection::disconnectFromBus(QStringLiteral("corvanta-no-bus"));
}

}  // namespace
}  // namespace corvanta::guard
