#include "tasks/lane_plan.h"

#include <algorithm>

namespace corvanta::tasks {

std::pair<int, int> lanePlan(const guard::PressureAdvice& advice, int gpuMax, int cpuMax) {
    const int g = std::max(gpuMax, 0);
    const int k = std::max(cpuMax, 0);
    if (advice.suggestedChunkSize == 0) {
        return {0, 0};
    }
    const int total = g + k;
    if (total < 1) {
        return {0, 0};
    }
    const int u = advice.suggestedCuCount;
    const int units = std::clamp(u, 1, total);
    const QString& reason = advice.reason;
    if (reason == QLatin1String("thermal-serious")) {
        if (gpuMax < 1) {
            return {0, 0};
        }
        return units == 1 ? std::pair{1, 0} : std::pair{std::min(units, g), 0};
    }
    int cpuCap = 0;
    if (reason == QLatin1String("ui-latency")) {
        cpuCap = 0;
    } else if (reason == QLatin1String("thermal-fair") || reason == QLatin1String("ui-busy")) {
        cpuCap = std::clamp(u, std::min(1, k), k);
    } else {
        cpuCap = std::clamp(u, 0, k);
    }
    if (gpuMax < 1) {
        return {0, std::min(units, cpuCap)};
    }
    if (units == 1) {
        return {1, 0};
    }
    const int gpu = std::min(units - (cpuCap != 0 ? 1 : 0), g);
    const int cpu = std::min(std::max(units - gpu, 0), cpuCap);
    return {gpu, cpu};
}

std::vector<ComputeWorkerLane> buildLanes(std::uint64_t startNonce, std::uint64_t upperBound,
                                          const guard::PressureAdvice& advice,
                                          LaneChunkSizes chunks) {
    using engine::ComputeWorkerLaneKind;
    const std::uint64_t cpuChunk = chunks.cpu;
    const std::uint64_t gpuChunk = chunks.gpu;
    const bool nonEmpty = upperBound > startNonce;
    const std::uint64_t remaining = nonEmpty ? upperBound - startNonce : 0;
    if (nonEmpty && remaining <= cpuChunk) {
        return {ComputeWorkerLane{ComputeWorkerLaneKind::cpu, 0, cpuChunk}};
    }
    const std::uint64_t maxLanes =
        nonEmpty ? remaining / cpuChunk + (remaining % cpuChunk != 0) : 1;
    const auto [gpuCount, cpuCount] = lanePlan(advice, kMaxGpuLanes, kMaxCpuLanes);
    std::vector<ComputeWorkerLane> lanes;
    const auto gpuLanes = gpuCount > 0 ? std::min<std::uint64_t>(maxLanes, gpuCount) : 0;
    for (std::uint64_t i = 0; i < gpuLanes; ++i) {
        lanes.push_back({ComputeWorkerLaneKind::gpu, static_cast<int>(i), gpuChunk});
    }
    const auto cpuLanes = std::min<std::uint64_t>(maxLanes - gpuLanes, std::max(cpuCount, 0));
    for (std::uint64_t i = 0; i < cpuLanes; ++i) {
        lanes.push_back({ComputeWorkerLaneKind::cpu, static_cast<int>(i), cpuChunk});
    }
    if (lanes.empty()) {
        lanes.push_back({ComputeWorkerLaneKind::gpu, 0, gpuChunk});
    }
    return lanes;
}

QString compactCountLabel(std::uint64_t count) {
    const double n = static_cast<double>(count);
    if (count < 1'000) {
        return QString::number(count);
    }
    if (count < 1'000'000) {
        return QString::asprintf("%.1fK", n / 1e3);
    }
    if (count < 1'000'000'000) {
        return QString::asprintf("%.1fM", n / 1e6);
    }
    return QString::asprintf("%.1fG", n / 1e9);
}

QString rateLabel(double rate) {
    if (rate >= 1'000'000) {
        return QString::asprintf("%.2fM/s", rate / 1e6);
    }
    if (rate >= 1'000) {
        return QString::asprintf("%.1fK/s", rate / 1e3);
    }
    return QString::asprintf("%.0f/s", rate);
}

QString progressLabel(std::uint64_t end, std::uint64_t upperBound) {
    const double progress =
        upperBound == 0 ? 100.0 : static_cast<double>(end) / static_cast<double>(upperBound) * 100;
    return QString::asprintf("%.1f", progress);
}

}  // namespace corvanta::tasks
