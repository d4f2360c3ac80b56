// Single-threaded nonces per second of a naive search (OpenSSL one-shot SHA-256 of a freshly
// formatted message per nonce) against the engine's CPU search, then the engine on every core
// against one core.
#include <openssl/sha.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <iostream>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "engine/compute_engine.h"
#include "engine/difficulty.h"
#include "parallel_search.h"

namespace corvanta::bench {

namespace {

using engine::ComputeEngine;
using engine::ComputeWorkerLaneKind;
using engine::SearchRequest;

// Never met in practice, and not a value any search can short-cut.
constexpr int kDifficulty = 20;
constexpr std::uint64_t kFirstNonce = 1'000'000'000;

std::uint64_t naiveSearch(const std::string& seed, std::uint64_t start, std::uint64_t count) {
    std::uint64_t hits = 0;
    char message[256];
    unsigned char digest[SHA256_DIGEST_LENGTH];
    for (std::uint64_t n = start; n < start + count; ++n) {
        const int length = std::snprintf(message, sizeof message, "%s%" PRIu64, seed.c_str(), n);
        SHA256(reinterpret_cast<const unsigned char*>(message), static_cast<std::size_t>(length),
               digest);
        hits += engine::meetsDifficulty(digest, kDifficulty) ? 1 : 0;
    }
    return hits;
}

// Runs `run(count)` with a count sized to take about `seconds`, a few times, and returns the best
// rate in nonces per second.
template <typename Run>
double measureRate(Run run, double seconds, int repeats = 3) {
    std::uint64_t count = 1 << 16;
    for (;;) {
        const auto start = std::chrono::steady_clock::now();
        run(count);
        const double elapsed = secondsSince(start);
        if (elapsed > 0.05) {
            count = static_cast<std::uint64_t>(static_cast<double>(count) * seconds / elapsed) + 1;
            break;
        }
        count *= 4;
    }
    double best = 0;
    for (int i = 0; i < repeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run(count);
        best = std::max(best, static_cast<double>(count) / secondsSince(start));
    }
    return best;
}

double engineSingleRate(ComputeEngine& engine, const std::string& seed, double seconds) {
    return measureRate(
        [&](std::uint64_t count) {
            engine.searchRange(SearchRequest{kFirstNonce, kFirstNonce + count, seed, kDifficulty,
                                             ComputeWorkerLaneKind::cpu, std::nullopt});
        },
        seconds);
}

double engineParallelRate(ComputeEngine& engine, const std::string& seed, unsigned threads,
                          double seconds) {
    return measureRate(
        [&](std::uint64_t count) {
            // The same total work split evenly, one search per core.
            searchOnEveryCore(engine, seed, kDifficulty, kFirstNonce, count / threads + 1, threads);
        },
        seconds);
}

}  // namespace

int runCpuBench(const std::vector<std::string>& args) {
    const bool json = hasFlag(args, "--json");
    const double seconds = std::stod(optionValue(args, "--seconds", "0.5"));
    ComputeEngine::Options options;
    if (auto impl = optionValue(args, "--impl"); !impl.empty()) {
        auto parsed = engine::sha256ImplFromName(impl);
        if (!parsed || !engine::sha256ImplSupported(*parsed)) {
            std::cerr << "corvanta-bench: kernel '" << impl << "' is not available here\n";
            return 2;
        }
        options.cpuImpl = *parsed;
    }
    ComputeEngine engine(options);
    const std::string kernel(engine::sha256ImplName(engine.cpuImpl()));

    nlohmann::ordered_json report;
    report["kernel"] = kernel;
    report["cases"] = nlohmann::ordered_json::array();
    if (!json) {
        std::printf("kernel: %s  (difficulty %d, nonces from %" PRIu64 ", single thread)\n",
                    kernel.c_str(), kDifficulty, kFirstNonce);
        std::printf("%10s %16s %16s %8s\n", "seed bytes", "baseline M/s", "engine M/s", "ratio");
    }
    for (std::size_t seedBytes : {3, 40, 100}) {
        const std::string seed = makeSeed(seedBytes);
        const double baseline = measureRate(
            [&](std::uint64_t count) { naiveSearch(seed, kFirstNonce, count); }, seconds);
        const double engineRate = engineSingleRate(engine, seed, seconds);
        const double ratio = engineRate / baseline;
        nlohmann::ordered_json entry;
        entry["seed_bytes"] = seedBytes;
        entry["baseline_nps"] = baseline;
        entry["engine_nps"] = engineRate;
        entry["ratio"] = ratio;
        report["cases"].push_back(entry);
        if (!json) {
            std::printf("%10zu %16.2f %16.2f %7.1fx\n", seedBytes, baseline / 1e6, engineRate / 1e6,
                        ratio);
            std::fflush(stdout);
        }
    }

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    const std::string seed = makeSeed(40);
    const double single = engineSingleRate(engine, seed, seconds);
    const double all = engineParallelRate(engine, seed, threads, seconds);
    nlohmann::ordered_json allCores;
    allCores["threads"] = threads;
    allCores["single_nps"] = single;
    allCores["nps"] = all;
    allCores["scaling"] = all / single;
    report["all_cores"] = allCores;
    if (json) {
        std::cout << report.dump() << std::endl;
    } else {
        std::printf(
            "all cores (40-byte seed): %u threads %.2f M/s, one thread %.2f M/s, scaling %.2fx\n",
            threads, all / 1e6, single / 1e6, all / single);
    }
    return 0;
}

}  // namespace corvanta::bench
