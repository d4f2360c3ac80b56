#pragma once

#include <string_view>

namespace corvanta::platform {

// The machine's thermal state. `unknown` means no temperature sensor could be read.
enum class ThermalState { nominal, fair, serious, critical, unknown };

constexpr std::string_view thermalStateText(ThermalState state) {
    switch (state) {
        case ThermalState::nominal:
            return "nominal";
        case ThermalState::fair:
            return "fair";
        case ThermalState::serious:
            return "serious";
        case ThermalState::critical:
            return "critical";
        case ThermalState::unknown:
            break;
    }
    return "unknown";
}

}  // namespace corvanta::platform
