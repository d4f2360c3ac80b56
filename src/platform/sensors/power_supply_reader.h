#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

// The machine's battery as the kernel reports it.
struct BatteryReading {
    bool onBattery = false;  // running from the battery rather than from mains power
    double percent = 100.0;  // charge, 0 to 100
    // "charging", "discharging", "full", "not charging" or "unknown".
    std::string state = "unknown";

    bool operator==(const BatteryReading&) const = default;
};

// /sys/class/power_supply: the first supply of type "Battery" that is present (its status and
// capacity), and whether any mains or USB supply is online. The fallback for machines without
// UPower.
class PowerSupplyReader {
public:
    explicit PowerSupplyReader(std::filesystem::path root = "/");

    // nullopt when the machine has no battery (a desktop, a server).
    std::optional<BatteryReading> read() const;

private:
    std::filesystem::path directory_;
};

}  // namespace corvanta::platform
