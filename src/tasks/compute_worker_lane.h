#pragma once

#include <cstdint>

#include "engine/compute_worker_lane_kind.h"

namespace corvanta::tasks {

// One lane of a run: what it searches with, its index among the lanes of its kind (which decides
// its budget), and how many nonces it claims per segment.
struct ComputeWorkerLane {
    engine::ComputeWorkerLaneKind kind = engine::ComputeWorkerLaneKind::cpu;
    int laneIndex = 0;
    std::uint64_t chunkSize = 0;

    static constexpr std::uint64_t gpuChunkSize = 67'108'864;  // 2^26
    static constexpr std::uint64_t cpuChunkSize = 8'388'608;   // 2^23

    friend bool operator==(const ComputeWorkerLane&, const ComputeWorkerLane&) = default;
};

// What a child of a run's worker group reports: a worker always `quit`s; the child that waits
// for the solved signal reports `solved`, or `signalClosed` when its wait ended without an event
// (the run was cancelled or the signal ended).
enum class WorkerResult { solved, quit, signalClosed };

}  // namespace corvanta::tasks
