#pragma once

#include <atomic>
#include <cstdint>

namespace corvanta::tasks {

// What the engine has done since the program started, for the service manager and the metrics
// endpoint. The scheduler and the orchestrator add to it (lanes from their threads, hence
// atomics); readers take each value on its own, so a reading may be a moment out of step
// between two fields but never torn. Counters only grow; the gauges follow the current run.
struct EngineCounters {
    std::atomic<std::uint64_t> noncesSearched{0};
    std::atomic<std::uint64_t> tasksSolved{0};
    std::atomic<std::uint64_t> tasksFailed{0};
    std::atomic<std::uint64_t> candidatesSubmitted{0};
    std::atomic<std::uint64_t> candidatesAccepted{0};
    std::atomic<std::uint64_t> candidatesRefused{0};
    // Nonces per second over the last throughput interval; 0 while no task runs.
    std::atomic<double> nonceRate{0.0};
    // The lanes of the run in progress, by kind; 0 while no task runs.
    std::atomic<int> cpuLanes{0};
    std::atomic<int> gpuLanes{0};
};

}  // namespace corvanta::tasks
