#include "platform/sensors/power_supply_reader.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

PowerSupplyReader::PowerSupplyReader(std::filesystem::path root)
    : directory_(underRoot(root, "/sys/class/power_supply")) {}

std::optional<BatteryReading> PowerSupplyReader::read() const {
    std::optional<BatteryReading> battery;
    bool mainsOnline = false;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory_, error)) {
        const auto& supply = entry.path();
        const std::string type = readTrimmedLine(supply / "type").value_or("");
        if (type == "Mains" || type == "USB") {
            mainsOnline = mainsOnline || readInteger(supply / "online").value_or(0) == 1;
            continue;
        }
        // Peripherals (a mouse, a headset) report their own batteries with scope "Device".
        if (type != "Battery" || battery ||
            readTrimmedLine(supply / "scope").value_or("System") == "Device" ||
            readInteger(supply / "present").value_or(1) == 0) {
            continue;
        }
        BatteryReading reading;
        reading.state = lowerCase(readTrimmedLine(supply / "status").value_or("unknown"));
        if (const auto capacity = readInteger(supply / "capacity")) {
            reading.percent = std::clamp(static_cast<double>(*capacity), 0.0, 100.0);
        }
        reading.onBattery = reading.state == "discharging";
        battery = reading;
    }
    if (battery && mainsOnline) {
        // Some batteries say "discharging" for a moment after the cable goes in; the adapter
        // knows better.
        battery->onBattery = false;
    }
    return battery;
}

}  // namespace corvanta::platform
