#include <gtest/gtest.h>

#include "platform/sensors/gpu_busy_reader.h"
#include "platform/sensors/host_info_reader.h"
#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/memory_pressure_level.h"
#include "platform/sensors/power_supply_reader.h"
#include "platform/sensors/pressure_stall_reader.h"
#include "platform/sensors/proc_stat_reader.h"
#include "platform/sensors/sysfs_file.h"
#include "platform/sensors/thermal_sensor_reader.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::platform {
namespace {

using guard::testing::SensorFixture;

TEST(PowerSupplyReader, TheSystemBatteryItsStateAndTheAdapter) {
    SensorFixture fixture;
    const PowerSupplyReader reader(fixture.root());
    EXPECT_EQ(reader.read(), std::nullopt);  // no power_supply folder: a desktop

    // A mouse's battery is no system battery; a mains adapter alone neither.
    fixture.write("/sys/class/power_supply/hidpp_battery_0/type", "Battery\n");
    fixture.write("/sys/class/power_supply/hidpp_battery_0/scope", "Device\n");
    fixture.write("/sys/class/power_supply/hidpp_battery_0/status", "Discharging\n");
    fixture.write("/sys/class/power_supply/AC/type", "Mains\n");
    fixture.write("/sys/class/power_supply/AC/online", "0\n");
    EXPECT_EQ(reader.read(), std::nullopt);

    // An absent battery (an empty bay) neither.
    fixture.write("/sys/class/power_supply/BAT1/type", "Battery\n");
    fixture.write("/sys/class/power_supply/BAT1/present", "0\n");
    EXPECT_EQ(reader.read(), std::nullopt);

    fixture.write("/sys/class/power_supply/BAT0/type", "Battery\n");
    fixture.write("/sys/class/power_supply/BAT0/status", "Discharging\n");
    fixture.write("/sys/class/power_supply/BAT0/capacity", "57\n");
    auto reading = reader.read();
    ASSERT_TRUE(reading.has_value());
    EXPECT_TRUE(reading->onBattery);
    EXPECT_EQ(reading->percent, 57.0);
    EXPECT_EQ(reading->state, "discharging");

    // The cable goes in: the adapter's word counts even while the battery still says otherwise.
    fixture.write("/sys/class/power_supply/AC/online", "1\n");
    reading = reader.read();
    ASSERT_TRUE(reading.has_value());
    EXPECT_FALSE(reading->onBattery);

    fixture.write("/sys/class/power_supply/BAT0/status", "Not charging\n");
    fixture.write("/sys/class/power_supply/BAT0/capacity", "140\n");
    reading = reader.read();
    EXPECT_EQ(reading->state, "not charging");
    EXPECT_EQ(reading->percent, 100.0);
}

TEST(ProcStatReader, ReadsAggregateLineAndComputesBusyShare) {
    SensorFixture fixture;
    EXPECT_FALSE(ProcStatReader(fixture.root()).read());

    fixture.writeProcStat(100, 20, 30, 850);
    const auto before = ProcStatReader(fixture.root()).read();
    ASSERT_TRUE(before);
    EXPECT_EQ(*before, (CpuTicks{100, 20, 30, 850}));

    // 60 user + 10 nice + 30 system busy against 100 idle.
    const CpuTicks after{160, 30, 60, 950};
    EXPECT_DOUBLE_EQ(ProcStatReader::usagePercent(*before, after), 50.0);
    EXPECT_DOUBLE_EQ(ProcStatReader::usagePercent(after, after), 0.0);
    // A fresh boot with no user time yet reports nothing.
    EXPECT_DOUBLE_EQ(ProcStatReader::usagePercent({}, CpuTicks{0, 0, 5, 5}), 0.0);
    // Counters that fall back (a core went offline) must not wrap into a huge difference.
    EXPECT_DOUBLE_EQ(ProcStatReader::usagePercent(after, CpuTicks{150, 30, 60, 1050}), 0.0);
    EXPECT_DOUBLE_EQ(ProcStatReader::usagePercent(after, CpuTicks{170, 30, 60, 900}), 100.0);

    fixture.write("/proc/stat", "cpu  1 2\n");
    EXPECT_FALSE(ProcStatReader(fixture.root()).read());
}

// The cutting up that every /proc and /sys reader shares.
TEST(SysfsFile, LinesFieldsKeysAndNumbers) {
    EXPECT_EQ(trimmedText(" \t value \r\n"), "value");
    EXPECT_EQ(trimmedText(" \n "), "");
    EXPECT_EQ(textLines("a\n\nb"), (std::vector<std::string_view>{"a", "", "b"}));
    EXPECT_EQ(textLines("a\n"), (std::vector<std::string_view>{"a"}));
    EXPECT_TRUE(textLines("").empty());
    EXPECT_EQ(lineFields("cpu  4705\t150 "), (std::vector<std::string_view>{"cpu", "4705", "150"}));
    EXPECT_TRUE(lineFields(" \t").empty());

    const auto field = keyAndValue("model name\t: Intel(R) Core(TM) i7: 3.20GHz", ':');
    ASSERT_TRUE(field);
    EXPECT_EQ(field->first, "model name");
    EXPECT_EQ(field->second, "Intel(R) Core(TM) i7: 3.20GHz");
    EXPECT_FALSE(keyAndValue("no separator", '='));

    EXPECT_EQ(parseNumber<std::uint64_t>(" 16314248 "), 16314248u);
    EXPECT_EQ(parseNumber<unsigned>("0x10de", 16), 0x10deu);
    EXPECT_EQ(parseNumber<int>("-3"), -3);
    EXPECT_EQ(parseNumber<double>("12.50"), 12.5);
    EXPECT_FALSE(parseNumber<int>("12kB"));
    EXPECT_FALSE(parseNumber<int>(""));
    EXPECT_FALSE(parseNumber<std::uint64_t>("-1"));

    // Readers built on them: tabs and missing fields as the kernel writes them.
    SensorFixture fixture;
    fixture.write("/proc/meminfo",
                  "MemTotal:\t 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\n"
                  "Cached: 250 kB\nbroken line\n");
    const auto memory = MemInfoReader(fixture.root()).read();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->totalBytes, 1000u * 1024);
    EXPECT_EQ(memory->availableBytes, 400u * 1024);
    fixture.write("/proc/pressure/memory", "some avg10=12.50 avg60=1.00 avg300=0.00 total=5\n");
    const auto stall = PressureStallReader(fixture.root()).read();
    ASSERT_TRUE(stall);
    EXPECT_DOUBLE_EQ(stall->someAvg10, 12.5);
    EXPECT_DOUBLE_EQ(stall->fullAvg10, 0.0);
}

TEST(MemoryPressure, StallAveragesAndAvailableShareGiveLevels) {
    SensorFixture fixture;
    const PressureStallReader stallReader(fixture.root());
    const MemInfoReader memReader(fixture.root());
    EXPECT_FALSE(stallReader.read());
    EXPECT_FALSE(memReader.read());
    EXPECT_EQ(memoryPressureLevel(std::nullopt, std::nullopt), 0);

    fixture.writeMemInfo(1'000'000, 500'000);
    const auto memory = memReader.read();
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->totalBytes, 1'024'000'000u);
    EXPECT_EQ(memory->availableBytes, 512'000'000u);

    const auto levelFor = [&](double some, double full) {
        fixture.writePressure(some, full);
        return memoryPressureLevel(stallReader.read(), memReader.read());
    };
    EXPECT_EQ(levelFor(0.0, 0.0), 0);
    EXPECT_EQ(levelFor(9.99, 9.99), 0);
    EXPECT_EQ(levelFor(10.0, 0.0), 1);
    EXPECT_EQ(levelFor(45.5, 10.0), 2);

    // The available share decides alone when the kernel has no PSI file.
    fixture.remove("/proc/pressure/memory");
    const auto levelForAvailable = [&](unsigned long availableKiB) {
        fixture.writeMemInfo(1'000'000, availableKiB);
        return memoryPressureLevel(stallReader.read(), memReader.read());
    };
    EXPECT_EQ(levelForAvailable(150'000), 0);
    EXPECT_EQ(levelForAvailable(149'999), 1);
    EXPECT_EQ(levelForAvailable(50'000), 1);
    EXPECT_EQ(levelForAvailable(49'999), 2);

    // Older kernels without MemAvailable: free + buffers + cached.
    fixture.write("/proc/meminfo",
                  "MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 20 kB\nCached: 30 kB\n");
    EXPECT_EQ(memReader.read()->availableBytes, 150u * 1024);
}

TEST(ThermalSensorReader, ZoneTripPointsMapToStates) {
    SensorFixture fixture;
    const ThermalSensorReader reader(fixture.root());
    EXPECT_EQ(reader.readState(), ThermalState::unknown);

    const auto stateAt = [&](long milliCelsius) {
        fixture.writeZone(0, milliCelsius);
        return reader.readState();
    };
    // The fan trip at 50 °C is no danger; fair starts 10 °C below the passive trip.
    EXPECT_EQ(stateAt(55'000), ThermalState::nominal);
    EXPECT_EQ(stateAt(69'999), ThermalState::nominal);
    EXPECT_EQ(stateAt(70'000), ThermalState::fair);
    EXPECT_EQ(stateAt(79'999), ThermalState::fair);
    EXPECT_EQ(stateAt(80'000), ThermalState::serious);
    EXPECT_EQ(stateAt(99'999), ThermalState::serious);
    EXPECT_EQ(stateAt(100'000), ThermalState::critical);

    // A "hot" trip counts as critical; passive trips of 0 are unset and must not throttle.
    fixture.writeZone(0, 40'000);
    fixture.write("/sys/class/thermal/thermal_zone1/temp", "61000\n");
    fixture.write("/sys/class/thermal/thermal_zone1/trip_point_0_type", "passive\n");
    fixture.write("/sys/class/thermal/thermal_zone1/trip_point_0_temp", "0\n");
    fixture.write("/sys/class/thermal/thermal_zone1/trip_point_1_type", "hot\n");
    fixture.write("/sys/class/thermal/thermal_zone1/trip_point_1_temp", "60000\n");
    EXPECT_EQ(reader.readSensors().size(), 2u);
    EXPECT_EQ(reader.readState(), ThermalState::critical);

    // A disabled zone is not read.
    fixture.write("/sys/class/thermal/thermal_zone1/mode", "disabled\n");
    EXPECT_EQ(reader.readSensors().size(), 1u);
    EXPECT_EQ(reader.readState(), ThermalState::nominal);

    // An unreadable temperature leaves no readable sensor.
    fixture.remove("/sys/class/thermal/thermal_zone1");
    fixture.write("/sys/class/thermal/thermal_zone0/temp", "error\n");
    EXPECT_EQ(reader.readState(), ThermalState::unknown);
}

TEST(ThermalSensorReader, HwmonLimitsMapToStatesAndWorstSensorWins) {
    SensorFixture fixture;
    const ThermalSensorReader reader(fixture.root());
    const std::string hwmon = "/sys/class/hwmon/hwmon2/";
    fixture.write(hwmon + "name", "coretemp\n");
    fixture.write(hwmon + "temp1_input", "50000\n");
    fixture.write(hwmon + "temp1_label", "Package id 0\n");
    fixture.write(hwmon + "temp1_max", "85000\n");
    fixture.write(hwmon + "temp1_crit", "100000\n");
    // Hysteresis and alarm attributes are not limits of their own.
    fixture.write(hwmon + "temp1_crit_hyst", "40000\n");
    fixture.write(hwmon + "temp1_crit_alarm", "0\n");
    // A channel without limits is readable but never above nominal.
    fixture.write(hwmon + "temp2_input", "120000\n");
    EXPECT_EQ(reader.readSensors().size(), 2u);
    EXPECT_EQ(reader.readState(), ThermalState::nominal);

    fixture.write(hwmon + "temp1_input", "76000\n");
    EXPECT_EQ(reader.readState(), ThermalState::fair);
    fixture.write(hwmon + "temp1_input", "85000\n");
    EXPECT_EQ(reader.readState(), ThermalState::serious);

    // An emergency limit is as good as a critical one, and the worst sensor decides.
    fixture.write("/sys/class/hwmon/hwmon3/temp1_input", "95000\n");
    fixture.write("/sys/class/hwmon/hwmon3/temp1_emergency", "95000\n");
    fixture.writeZone(0, 30'000);
    EXPECT_EQ(reader.readState(), ThermalState::critical);
}

TEST(GpuBusyReader, TakesBusiestCardWithinRange) {
    SensorFixture fixture;
    EXPECT_DOUBLE_EQ(GpuBusyReader(fixture.root(), false).read(), 0.0);

    fixture.write("/sys/class/drm/card0/device/gpu_busy_percent", "30\n");
    fixture.write("/sys/class/drm/card1/device/gpu_busy_percent", "70\n");
    fixture.write("/sys/class/drm/card0-HDMI-A-1/device/gpu_busy_percent", "99\n");
    const GpuBusyReader reader(fixture.root(), false);
    EXPECT_DOUBLE_EQ(reader.read(), 70.0);

    fixture.write("/sys/class/drm/card1/device/gpu_busy_percent", "250\n");
    EXPECT_DOUBLE_EQ(reader.read(), 100.0);
    fixture.write("/sys/class/drm/card1/device/gpu_busy_percent", "-4\n");
    EXPECT_DOUBLE_EQ(reader.read(), 30.0);
}

TEST(HostInfoReader, ReadsStaticFactsAndFallsBack) {
    SensorFixture fixture;
    HostInfo bare = HostInfoReader(fixture.root()).read();
    EXPECT_EQ(bare.cpuModel, "Unknown");
    EXPECT_EQ(bare.modelIdentifier, "Unknown");
    EXPECT_EQ(bare.memoryTotal, 0u);
    EXPECT_TRUE(bare.diskTotal.has_value());
    EXPECT_EQ(bare.osVersion.rfind("Linux ", 0), 0u) << bare.osVersion;
    EXPECT_FALSE(bare.hostname.empty());
    EXPECT_GT(bare.cpuCoreCount, 0);

    fixture.write("/proc/cpuinfo",
                  "processor\t: 0\nvendor_id\t: GenuineIntel\nmodel name\t: Intel(R) Core(TM) "
                  "i7-9700 CPU @ 3.00GHz\n\nprocessor\t: 1\nmodel name\t: other\n");
    fixture.writeMemInfo(16'000'000, 8'000'000);
    fixture.write("/etc/os-release",
                  "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n");
    fixture.write("/etc/machine-info", "PRETTY_HOSTNAME=\"Ada's \\\"desk\\\"\"\nCHASSIS=desktop\n");
    fixture.write("/sys/class/dmi/id/product_name", "ThinkPad X1 Carbon\n");
    const HostInfo host = HostInfoReader(fixture.root()).read();
    EXPECT_EQ(host.cpuModel, "Intel(R) Core(TM) i7-9700 CPU @ 3.00GHz");
    EXPECT_EQ(host.memoryTotal, 16'000'000ull * 1024);
    EXPECT_EQ(host.osVersion, "Debian GNU/Linux 12 (bookworm)");
    EXPECT_EQ(host.modelIdentifier, "ThinkPad X1 Carbon");
    EXPECT_EQ(host.hostname, "Ada's \"desk\"");
}

}  // namespace
}  // namespace corvanta::platform
