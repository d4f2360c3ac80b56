#pragma once

#include <optional>
#include <string_view>

namespace corvanta::engine {

// Which search path a worker lane uses. The raw values are stored and logged.
enum class ComputeWorkerLaneKind { gpu, cpu };

constexpr std::string_view rawValue(ComputeWorkerLaneKind kind) {
    return kind == ComputeWorkerLaneKind::gpu ? "gpu" : "cpu";
}

// Exact match only: "GPU" is not a lane kind.
constexpr std::optional<ComputeWorkerLaneKind> laneKindFromRawValue(std::string_view raw) {
    if (raw == "gpu") {
        return ComputeWorkerLaneKind::gpu;
    }
    if (raw == "cpu") {
        return ComputeWorkerLaneKind::cpu;
    }
    return std::nullopt;
}

}  // namespace corvanta::engine
