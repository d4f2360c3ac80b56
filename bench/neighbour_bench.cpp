// How the client treats the rest of the machine while it searches on every core: a foreground
// CPU-bound loop's speed alone and beside the engine, and the lateness of a timer-driven event
// loop on the main thread alone and beside the engine. Alone and loaded runs alternate, best of
// three each, so that other load on the machine touches both sides alike.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "engine/compute_engine.h"

namespace corvanta::bench {

namespace {

using engine::ComputeEngine;
using engine::ComputeSearch;
using engine::ComputeWorkerLaneKind;
using engine::SearchRequest;

// Never met, so every search runs until it is cancelled.
constexpr int kDifficulty = 200;
constexpr int kTimerIntervalMs = 5;

// The engine searching on every core until the object goes away.
class Saturation {
public:
    Saturation(ComputeEngine& engine, unsigned threads) {
        for (unsigned t = 0; t < threads; ++t) {
            const std::uint64_t start = std::uint64_t(t) << 48;
            searches_.push_back(engine.startSearch(
                SearchRequest{start, start + (std::uint64_t(1) << 47), makeSeed(40), kDifficulty,
                              ComputeWorkerLaneKind::cpu, std::nullopt}));
        }
        // Let every search thread get going before anything is measured.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~Saturation() {
        for (auto& search : searches_) {
            search->cancel();
        }
        for (auto& search : searches_) {
            search->wait();
        }
    }
    Saturation(const Saturation&) = delete;
    Saturation& operator=(const Saturation&) = delete;

private:
    std::vector<std::shared_ptr<ComputeSearch>> searches_;
};

// Iterations per second of a plain integer loop on `threads` threads at normal priority, summed.
double foregroundRate(unsigned threads, double seconds) {
    std::atomic<bool> stop{false};
    std::vector<std::uint64_t> counts(threads, 0);
    std::vector<std::thread> workers;
    const auto start = std::chrono::steady_clock::now();
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&stop, &counts, t] {
            std::uint64_t x = 0x9e3779b97f4a7c15ULL + t;
            std::uint64_t n = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                for (int i = 0; i < 4096; ++i) {
                    x ^= x << 13;
                    x ^= x >> 7;
                    x ^= x << 17;
                }
                ++n;
            }
            counts[t] = n + (x == 0 ? 1 : 0);
        });
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& worker : workers) {
        worker.join();
    }
    const double elapsed = secondsSince(start);
    std::uint64_t total = 0;
    for (const auto count : counts) {
        total += count;
    }
    return static_cast<double>(total) * 4096 / elapsed;
}

// The 99th percentile of how late a 5 ms single-shot timer fires on this thread's event loop,
// in milliseconds.
double timerLatenessP99(double seconds) {
    std::vector<double> lateness;
    lateness.reserve(static_cast<std::size_t>(seconds * 1000 / kTimerIntervalMs) + 16);
    QEventLoop loop;
    QTimer tick;
    tick.setSingleShot(true);
    tick.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    qint64 due = 0;
    const auto arm = [&] {
        due = clock.nsecsElapsed() + qint64(kTimerIntervalMs) * 1'000'000;
        tick.start(kTimerIntervalMs);
    };
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        lateness.push_back(double(std::max<qint64>(0, clock.nsecsElapsed() - due)) / 1e6);
        arm();
    });
    QTimer::singleShot(std::chrono::milliseconds(qint64(seconds * 1000)), &loop, &QEventLoop::quit);
    clock.start();
    arm();
    loop.exec();
    if (lateness.empty()) {
        return std::numeric_limits<double>::infinity();
    }
    std::sort(lateness.begin(), lateness.end());
    return lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)];
}

}  // namespace

int runNeighbourBench(const std::vector<std::string>& args) {
    const bool json = hasFlag(args, "--json");
    const double seconds = std::stod(optionValue(args, "--seconds", "1"));
    int argc = 1;
    char name[] = "corvanta-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    ComputeEngine engine;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());

    double aloneRate = 0;
    double loadedRate = 0;
    double aloneP99 = std::numeric_limits<double>::infinity();
    double loadedP99 = std::numeric_limits<double>::infinity();
    for (int round = 0; round < 3; ++round) {
        aloneRate = std::max(aloneRate, foregroundRate(threads, seconds));
        aloneP99 = std::min(aloneP99, timerLatenessP99(seconds));
        const Saturation saturation(engine, threads);
        loadedRate = std::max(loadedRate, foregroundRate(threads, seconds));
        loadedP99 = std::min(loadedP99, timerLatenessP99(seconds));
    }
    const double ratio = loadedRate / aloneRate;

    if (json) {
        nlohmann::ordered_json report;
        report["threads"] = threads;
        report["foreground_alone_ips"] = aloneRate;
        report["foreground_loaded_ips"] = loadedRate;
        report["foreground_ratio"] = ratio;
        report["ui_latency_alone_p99_ms"] = aloneP99;
        report["ui_latency_p99_ms"] = loadedP99;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("%u foreground threads, engine searching on %u cores\n", threads, threads);
        std::printf("%-28s %14s %14s %8s\n", "", "alone", "beside engine", "ratio");
        std::printf("%-28s %14.3g %14.3g %8.3f\n", "foreground loop (iter/s)", aloneRate,
                    loadedRate, ratio);
        std::printf("%-28s %14.3f %14.3f\n", "main-thread timer p99 (ms)", aloneP99, loadedP99);
    }
    return 0;
}

}  // namespace corvanta::bench
