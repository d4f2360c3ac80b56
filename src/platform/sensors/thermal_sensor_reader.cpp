#include "platform/sensors/thermal_sensor_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

constexpr std::int64_t kFairMarginMilliCelsius = 10'000;
// A zone lists its trips as trip_point_0 … trip_point_<n-1>; drivers stay far below this.
constexpr int kMaxTripPoints = 64;

// Entries of `directory` whose names start with `prefix`, sorted; empty when unreadable.
std::vector<std::filesystem::path> entriesWithPrefix(const std::filesystem::path& directory,
                                                     std::string_view prefix) {
    std::vector<std::filesystem::path> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) == 0) {
            entries.push_back(it->path());
        }
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

void addTrip(std::vector<ThermalTrip>& trips, ThermalTrip::Kind kind,
             const std::filesystem::path& path) {
    if (const auto value = readInteger(path)) {
        trips.push_back(ThermalTrip{kind, *value});
    }
}

std::optional<ThermalSensorReading> readZone(const std::filesystem::path& zone) {
    if (readTrimmedLine(zone / "mode") == "disabled") {
        return std::nullopt;
    }
    const auto temp = readInteger(zone / "temp");
    if (!temp) {
        return std::nullopt;
    }
    ThermalSensorReading reading{zone, *temp, {}};
    for (int i = 0; i < kMaxTripPoints; ++i) {
        const std::string prefix = "trip_point_" + std::to_string(i) + "_";
        const auto type = readTrimmedLine(zone / (prefix + "type"));
        if (!type) {
            break;
        }
        if (*type == "critical" || *type == "hot") {
            addTrip(reading.trips, ThermalTrip::Kind::critical, zone / (prefix + "temp"));
        } else if (*type == "passive") {
            addTrip(reading.trips, ThermalTrip::Kind::passive, zone / (prefix + "temp"));
        }
    }
    return reading;
}

// "temp<digits>_input" → "temp<digits>"; nullopt for any other name.
std::optional<std::string> hwmonChannel(const std::string& name) {
    constexpr std::string_view head = "temp";
    constexpr std::string_view tail = "_input";
    if (name.size() <= head.size() + tail.size() || name.rfind(head, 0) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
        return std::nullopt;
    }
    const std::string digits = name.substr(head.size(), name.size() - head.size() - tail.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return std::string(head) + digits;
}

void readHwmon(const std::filesystem::path& hwmon, std::vector<ThermalSensorReading>& out) {
    for (const auto& input : entriesWithPrefix(hwmon, "temp")) {
        const auto channel = hwmonChannel(input.filename().string());
        if (!channel) {
            continue;
        }
        const auto temp = readInteger(input);
        if (!temp) {
            continue;
        }
        ThermalSensorReading reading{input, *temp, {}};
        addTrip(reading.trips, ThermalTrip::Kind::critical, hwmon / (*channel + "_crit"));
        addTrip(reading.trips, ThermalTrip::Kind::critical, hwmon / (*channel + "_emergency"));
        addTrip(reading.trips, ThermalTrip::Kind::passive, hwmon / (*channel + "_max"));
        out.push_back(std::move(reading));
    }
}

int severity(ThermalState state) {
    switch (state) {
        case ThermalState::nominal:
            return 1;
        case ThermalState::fair:
            return 2;
        case ThermalState::serious:
            return 3;
        case ThermalState::critical:
            return 4;
        case ThermalState::unknown:
            break;
    }
    return 0;
}

}  // namespace

ThermalSensorReader::ThermalSensorReader(std::filesystem::path root) : root_(std::move(root)) {}

std::vector<ThermalSensorReading> ThermalSensorReader::readSensors() const {
    std::vector<ThermalSensorReading> sensors;
    for (const auto& zone :
         entriesWithPrefix(underRoot(root_, "/sys/class/thermal"), "thermal_zone")) {
        if (auto reading = readZone(zone)) {
            sensors.push_back(std::move(*reading));
        }
    }
    for (const auto& hwmon : entriesWithPrefix(underRoot(root_, "/sys/class/hwmon"), "hwmon")) {
        readHwmon(hwmon, sensors);
    }
    return sensors;
}

ThermalState ThermalSensorReader::readState() const {
    ThermalState worst = ThermalState::unknown;
    for (const auto& sensor : readSensors()) {
        const ThermalState state = stateOf(sensor);
        if (severity(state) > severity(worst)) {
            worst = state;
        }
    }
    return worst;
}

ThermalState ThermalSensorReader::stateOf(const ThermalSensorReading& sensor) {
    std::optional<std::int64_t> lowestPassive;
    for (const auto& trip : sensor.trips) {
        if (trip.milliCelsius <= 0) {
            continue;
        }
        if (trip.kind == ThermalTrip::Kind::critical) {
            if (sensor.milliCelsius >= trip.milliCelsius) {
                return ThermalState::critical;
            }
        } else if (!lowestPassive || trip.milliCelsius < *lowestPassive) {
            lowestPassive = trip.milliCelsius;
        }
    }
    if (lowestPassive) {
        if (sensor.milliCelsius >= *lowestPassive) {
            return ThermalState::serious;
        }
        if (sensor.milliCelsius >= *lowestPassive - kFairMarginMilliCelsius) {
            return ThermalState::fair;
        }
    }
    return ThermalState::nominal;
}

}  // namespace corvanta::platform
