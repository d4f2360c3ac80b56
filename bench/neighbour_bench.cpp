// How the client treats the rest of the machine while it searches on every core: a foreground
// CPU-bound loop's speed alone and beside the engine, and the lateness of a timer-driven event
// loop on the main thread alone and beside the engine. Alone and loaded runs alternate, best of
// three each, so that other load on the machine touches both sides alike. Last, the whole
// scheduler runs with its thermal readers on a fixture tree that turns critical, and the bench
// measures how long lanes go on starting segments after that.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <qcoro/qcorotask.h>

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

#include "async/cancellable_sleep.h"
#include "bench_commands.h"
#include "bench_util.h"
#include "engine/compute_engine.h"
#include "guard/pressure_controller.h"
#include "guard/system_monitor_service.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

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

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// A sysfs tree with one thermal zone whose critical trip is at 100 °C.
class ThermalFixture {
public:
    ThermalFixture() {
        const QString zone = dir_.path() + QStringLiteral("/sys/class/thermal/thermal_zone0");
        QDir().mkpath(zone);
        write(zone + QStringLiteral("/type"), "x86_pkg_temp\n");
        write(zone + QStringLiteral("/trip_point_0_type"), "critical\n");
        write(zone + QStringLiteral("/trip_point_0_temp"), "100000\n");
        temperaturePath_ = zone + QStringLiteral("/temp");
        setCritical(false);
    }
    std::filesystem::path root() const { return dir_.path().toStdString(); }
    void setCritical(bool critical) { write(temperaturePath_, critical ? "105000\n" : "45000\n"); }

private:
    static void write(const QString& path, const char* text) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(text);
        }
    }

    QTemporaryDir dir_;
    QString temperaturePath_;
};

struct CriticalStopResult {
    double worstSeconds = 0;
    bool stayedStopped = true;
    bool finished = false;
};

// Each round: nominal until lanes are claiming, a random wait so the switch falls anywhere in the
// sampling period, then critical; the stop time is from the switch to the last segment claimed.
QCoro::Task<void> measureCriticalStops(tasks::TaskScheduler& scheduler, ThermalFixture& fixture,
                                       int rounds, CriticalStopResult& out) {
    using Clock = std::chrono::steady_clock;
    const std::stop_token never;
    std::uint64_t lastNext = 0;
    Clock::time_point lastClaimAt = Clock::now();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const auto pool = scheduler.rangePool();
        const std::uint64_t next = pool ? pool->snapshot().nextUnallocated : 0;
        if (next != lastNext) {
            lastNext = next;
            lastClaimAt = Clock::now();
        }
    });
    watch.start(2);

    for (int round = 0; round < rounds; ++round) {
        fixture.setCritical(false);
        const auto resumedAt = Clock::now();
        while (lastClaimAt <= resumedAt) {
            co_await async::sleepFor(std::chrono::milliseconds(50), never);
        }
        co_await async::sleepFor(
            std::chrono::milliseconds(1000 + QRandomGenerator::global()->bounded(1000)), never);
        fixture.setCritical(true);
        const auto switchedAt = Clock::now();
        co_await async::sleepFor(std::chrono::milliseconds(4500), never);
        const auto quietSince = switchedAt + std::chrono::milliseconds(3500);
        if (lastClaimAt > quietSince) {
            out.stayedStopped = false;
        }
        const double stop =
            lastClaimAt > switchedAt ? secondsBetween(switchedAt, lastClaimAt) : 0.0;
        out.worstSeconds = std::max(out.worstSeconds, stop);
    }
    out.finished = true;
    scheduler.cancelRun();
}

QCoro::Task<void> runUntilCancelled(tasks::TaskScheduler& scheduler) {
    co_await scheduler.runTask(QStringLiteral("neighbour-critical"),
                               QString::fromStdString(makeSeed(40)), 60, std::uint64_t{1} << 50, 0,
                               {});
    QCoreApplication::quit();
}

CriticalStopResult criticalStop(int rounds) {
    ThermalFixture fixture;
    guard::SystemMonitorOptions monitorOptions;
    monitorOptions.root = fixture.root();
    monitorOptions.allowNvml = false;
    guard::SystemMonitorService monitor(monitorOptions);
    guard::PressureController controller(monitor);

    tasks::ValidationCoordinator coordinator;
    tasks::TaskSchedulerDependencies deps;
    deps.coordinator = &coordinator;
    deps.currentAdvice = [&controller] { return controller.currentAdvice(); };
    deps.currentSnapshot = [&monitor] { return monitor.currentSnapshot(); };
    tasks::TaskScheduler scheduler(std::move(deps));

    controller.start();
    CriticalStopResult result;
    auto run = runUntilCancelled(scheduler);
    auto measure = measureCriticalStops(scheduler, fixture, rounds, result);
    QCoreApplication::exec();
    controller.stop();
    return result;
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
    const int criticalRounds = std::max(1, std::stoi(optionValue(args, "--critical-rounds", "5")));
    const CriticalStopResult critical = criticalStop(criticalRounds);

    if (json) {
        nlohmann::ordered_json report;
        report["threads"] = threads;
        report["foreground_alone_ips"] = aloneRate;
        report["foreground_loaded_ips"] = loadedRate;
        report["foreground_ratio"] = ratio;
        report["ui_latency_alone_p99_ms"] = aloneP99;
        report["ui_latency_p99_ms"] = loadedP99;
        report["critical_stop_s"] = critical.worstSeconds;
        report["critical_stayed_stopped"] = critical.stayedStopped;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("%u foreground threads, engine searching on %u cores\n", threads, threads);
        std::printf("%-28s %14s %14s %8s\n", "", "alone", "beside engine", "ratio");
        std::printf("%-28s %14.3g %14.3g %8.3f\n", "foreground loop (iter/s)", aloneRate,
                    loadedRate, ratio);
        std::printf("%-28s %14.3f %14.3f\n", "main-thread timer p99 (ms)", aloneP99, loadedP99);
        std::printf(
            "critical thermal state: last segment started %.3f s after the switch "
            "(worst of %d)%s\n",
            critical.worstSeconds, criticalRounds,
            critical.stayedStopped ? "" : ", lanes did NOT stay stopped");
    }
    return 0;
}

}  // namespace corvanta::bench
