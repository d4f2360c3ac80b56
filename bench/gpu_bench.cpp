// corvanta-bench gpu [--json] [--seconds S]
// Nonces per second of the engine's GPU path (OpenCL, whole dispatches as a lane runs them) next
// to the processor search on every core, on the same seed and difficulty in the same run, and how
// long one dispatch of the designed size (2^26 nonces) takes: a GPU lane's bookkeeping must fit
// into that time for the device never to wait. The GPU is whatever device the engine selects;
// CORVANTA_OPENCL_DEVICE=any admits CPU devices (PoCL).
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "engine/compute_engine.h"
#include "parallel_search.h"

namespace corvanta::bench {

namespace {

using engine::ComputeEngine;
using engine::ComputeWorkerLaneKind;
using engine::SearchRequest;

// Never met in practice, so no hit handling enters the figures.
constexpr int kDifficulty = 20;
constexpr std::uint64_t kFirstNonce = 1'000'000'000;
constexpr std::size_t kSeedBytes = 40;

// Grows the nonce count until one run takes a quarter of `seconds`, then sizes three runs of
// about `seconds` each and returns the best rate in nonces per second. Every run starts where the
// last one ended, so no range is searched twice.
template <typename Run>
double measureRate(Run run, double seconds) {
    std::uint64_t next = kFirstNonce;
    std::uint64_t count = 1 << 16;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        run(next, count);
        next += count;
        const double elapsed = secondsSince(start);
        if (elapsed >= seconds / 4) {
            count = static_cast<std::uint64_t>(static_cast<double>(count) * seconds / elapsed) + 1;
            break;
        }
        count *= elapsed < seconds / 64 ? 8 : 2;
    }
    double best = 0;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run(next, count);
        next += count;
        best = std::max(best, static_cast<double>(count) / secondsSince(start));
    }
    return best;
}

// Milliseconds of one full-size dispatch: the median of up to three, as many as fit into about a
// second after the first (a slow device such as PoCL gets one). Nothing when a dispatch fails.
std::optional<double> dispatchMilliseconds(ComputeEngine& engine, const std::string& seed,
                                           std::uint64_t first) {
    std::vector<double> times;
    const auto start = std::chrono::steady_clock::now();
    while (times.size() < 3 && (times.empty() || secondsSince(start) < 1.0)) {
        const auto dispatchStart = std::chrono::steady_clock::now();
        if (!engine.dispatchBatch(seed, kDifficulty, first,
                                  first + ComputeEngine::kGpuDispatchSize)) {
            return std::nullopt;
        }
        times.push_back(secondsSince(dispatchStart) * 1e3);
        first += ComputeEngine::kGpuDispatchSize;
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int runGpuBench(const std::vector<std::string>& args) {
    const bool json = hasFlag(args, "--json");
    const double seconds = std::stod(optionValue(args, "--seconds", "1"));
    ComputeEngine engine;
    const std::string seed = makeSeed(kSeedBytes);
    // Runs the parity probe, so neither the kernel build nor the probe enters the figures.
    if (auto reason = engine.gpuFallbackReason(seed)) {
        std::cerr << "corvanta-bench: GPU path unavailable: "
                  << engine::searchNoteWord(engine::gpuFallbackNote(*reason)) << '\n';
        return 1;
    }
    const std::string device = engine.gpuDeviceName().value_or("");

    bool failed = false;
    const double gpuRate = measureRate(
        [&](std::uint64_t start, std::uint64_t count) {
            const auto result = engine.searchRange(SearchRequest{
                start, start + count, seed, kDifficulty, ComputeWorkerLaneKind::gpu, std::nullopt});
            failed = failed || result.status != engine::ComputeSearchStatus::completed;
        },
        seconds);
    if (failed) {
        std::cerr << "corvanta-bench: a GPU dispatch failed during the measurement\n";
        return 1;
    }

    // Above the nonces the rate measurement searched, with as many digits as they have at most
    // (a 40-byte seed and up to 15 digits make one block), so the two figures agree.
    const auto dispatchMs = dispatchMilliseconds(engine, seed, 900'000'000'000'000);
    if (!dispatchMs) {
        std::cerr << "corvanta-bench: a full-size GPU dispatch failed\n";
        return 1;
    }

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const double cpuRate = measureRate(
        [&](std::uint64_t start, std::uint64_t count) {
            searchOnEveryCore(engine, seed, kDifficulty, start, count / threads + 1, threads);
        },
        seconds);

    if (json) {
        nlohmann::ordered_json report;
        report["device"] = device;
        report["gpu_nps"] = gpuRate;
        report["cpu_nps"] = cpuRate;
        report["dispatch_ms"] = *dispatchMs;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("device: %s  (%zu-byte seed, difficulty %d, nonces from %" PRIu64 ")\n",
                    device.c_str(), kSeedBytes, kDifficulty, kFirstNonce);
        std::printf("GPU path              %12.2f M/s\n", gpuRate / 1e6);
        std::printf("CPU search, %2u threads %11.2f M/s\n", threads, cpuRate / 1e6);
        std::printf("GPU / CPU             %11.2fx\n", gpuRate / cpuRate);
        std::printf("one dispatch of %llu nonces: %.1f ms\n",
                    static_cast<unsigned long long>(ComputeEngine::kGpuDispatchSize), *dispatchMs);
    }
    return 0;
}

}  // namespace corvanta::bench
