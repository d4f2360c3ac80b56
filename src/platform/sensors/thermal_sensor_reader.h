#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/sensors/thermal_state.h"

namespace corvanta::platform {

struct ThermalTrip {
    // `critical` covers the kernel's "critical" and "hot" trips and hwmon's crit/emergency
    // limits; `passive` covers "passive" trips and hwmon's max limit. Fan ("active") trips do
    // not describe a danger and are left out.
    enum class Kind { critical, passive };

    Kind kind = Kind::passive;
    std::int64_t milliCelsius = 0;
};

struct ThermalSensorReading {
    std::filesystem::path source;
    std::int64_t milliCelsius = 0;
    std::vector<ThermalTrip> trips;
};

// Reads the thermal zones (/sys/class/thermal/thermal_zone*) and hwmon temperature channels
// (/sys/class/hwmon/hwmon*/temp*_input) with their trip points, and rates them.
class ThermalSensorReader {
public:
    explicit ThermalSensorReader(std::filesystem::path root = "/");

    // Every sensor whose temperature could be read, zones first, each group in path order.
    std::vector<ThermalSensorReading> readSensors() const;

    // The worst state over all sensors; `unknown` when none could be read.
    ThermalState readState() const;

    // critical at or above a critical trip; serious at or above the lowest passive trip; fair
    // within 10 °C below it; nominal otherwise. Trips at or below 0 °C are unset values
    // (x86_pkg_temp reports its passive trips as 0) and are ignored.
    static ThermalState stateOf(const ThermalSensorReading& sensor);

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
