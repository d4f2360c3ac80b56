#pragma once

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

#include "guard/pressure_advice.h"
#include "tasks/compute_worker_lane.h"

namespace corvanta::tasks {

inline constexpr int kMaxGpuLanes = 6;
inline constexpr int kMaxCpuLanes = 10;

// How many graphics-processor and processor lanes the advice allows.
std::pair<int, int> lanePlan(const guard::PressureAdvice& advice, int gpuMax, int cpuMax);

// Nonces a lane claims per segment. Tests shrink them; production uses the defaults.
struct LaneChunkSizes {
    std::uint64_t gpu = ComputeWorkerLane::gpuChunkSize;
    std::uint64_t cpu = ComputeWorkerLane::cpuChunkSize;
};

// The lanes of a run over [startNonce, upperBound): graphics-processor lanes first.
std::vector<ComputeWorkerLane> buildLanes(std::uint64_t startNonce, std::uint64_t upperBound,
                                          const guard::PressureAdvice& advice,
                                          LaneChunkSizes chunks = {});

// 999 -> "999", 8388608 -> "8.4M", 67108864 -> "67.1M".
QString compactCountLabel(std::uint64_t count);
// Nonces per second: "12.34M/s", "5.6K/s", "42/s".
QString rateLabel(double rate);
// How far a search up to `end` has come through [0, upperBound), in percent: "12.3".
QString progressLabel(std::uint64_t end, std::uint64_t upperBound);

}  // namespace corvanta::tasks
