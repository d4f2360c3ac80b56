// corvanta-bench scheduler --segment-nonces N [--seconds S] [--json]
// The bookkeeping ceiling: the real scheduler (lanes, claims, progress saved to a task database,
// the run log in a database, validation) with every lane's segment cut down to N nonces, so that
// the search itself costs next to nothing and segments per second is what the bookkeeping around
// a segment allows. A GPU lane of the designed 2^26 nonces can be kept busy only while its
// dispatches last longer than that bookkeeping: segments per second x 2^26 is the most nonces per
// second the lanes of one run could be fed, whatever the device's speed.
#include "scheduler_ceiling.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <stop_token>

#include <nlohmann/json.hpp>

#include "bench_util.h"
#include "log/log_buffer_service.h"
#include "tasks/lane_plan.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::bench {

namespace {

using Clock = std::chrono::steady_clock;

// Far more than any run gets through, and below 2^63 so that the task database can store it.
constexpr std::uint64_t kUpperBound = std::uint64_t{1} << 62;
// Twenty leading zero digits: never met, so no candidate enters the figures.
constexpr int kDifficulty = 20;
constexpr double kDesignedGpuChunk = 67'108'864.0;  // 2^26

struct Window {
    double warmUpSeconds = 1.0;
    double seconds = 3.0;
    std::optional<Clock::time_point> firstSegmentAt;
    std::optional<Clock::time_point> openedAt;
    std::uint64_t segments = 0;
    std::uint64_t gpuDispatches = 0;
    double measuredSeconds = 0;
    bool closed = false;
};

QCoro::Task<void> runUntilStopped(tasks::TaskScheduler& scheduler, std::stop_token stop,
                                  bool& finished) {
    co_await scheduler.runTask(QStringLiteral("ceiling-task"), QString::fromStdString(makeSeed(40)),
                               kDifficulty, kUpperBound, 0, std::move(stop));
    finished = true;
    QCoreApplication::quit();
}

}  // namespace

int runSchedulerCeiling(const std::vector<std::string>& args) {
    const bool json = hasFlag(args, "--json");
    const std::uint64_t segmentNonces = std::stoull(optionValue(args, "--segment-nonces"));
    if (segmentNonces == 0) {
        std::cerr << "corvanta-bench: --segment-nonces must be at least 1\n";
        return 2;
    }
    Window window;
    window.seconds = std::stod(optionValue(args, "--seconds", "3"));

    int argc = 1;
    char name[] = "corvanta-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::cerr << "corvanta-bench: no temporary directory\n";
        return 1;
    }

    log::LogBufferService logService(dir.path(), log::LogBufferService::kDefaultFileSizeLimitBytes,
                                     log::LogBufferService::kDefaultMaxDatabaseFiles,
                                     [] { return QDateTime::currentDateTimeUtc(); });
    tasks::ValidationCoordinator coordinator;
    const guard::PressureAdvice advice;
    tasks::TaskSchedulerDependencies deps;
    deps.coordinator = &coordinator;
    deps.currentAdvice = [advice] { return advice; };
    deps.currentSnapshot = [] { return guard::SystemSnapshot{}; };
    deps.stateStore = std::make_unique<tasks::TaskStateStore>(dir.path());
    deps.chunkSizes = tasks::LaneChunkSizes{segmentNonces, segmentNonces};
    tasks::TaskScheduler scheduler(std::move(deps));

    std::uint64_t lines = 0;
    scheduler.setOnLog([&](const QString& category, const QString& message) {
        logService.append(QStringLiteral("1"), category, message);
        ++lines;
        // One "done claim=" line per GPU dispatch, and a segment this small is one dispatch.
        if (window.openedAt && !window.closed && message.contains(QStringLiteral(" done claim="))) {
            ++window.gpuDispatches;
        }
    });
    std::stop_source stop;
    scheduler.setOnProgress([&](const QString&, const QString&, int, std::uint64_t, std::uint64_t) {
        if (window.closed) {
            return;
        }
        const auto now = Clock::now();
        if (!window.firstSegmentAt) {
            window.firstSegmentAt = now;  // the GPU's parity probe is behind us
        }
        if (!window.openedAt) {
            if (now - *window.firstSegmentAt >=
                std::chrono::duration<double>(window.warmUpSeconds)) {
                window.openedAt = now;
            }
            return;
        }
        ++window.segments;
        window.measuredSeconds = std::chrono::duration<double>(now - *window.openedAt).count();
        if (window.measuredSeconds >= window.seconds) {
            window.closed = true;
            scheduler.cancelRun();
            stop.request_stop();
        }
    });

    const auto lanes = tasks::buildLanes(0, kUpperBound, advice,
                                         tasks::LaneChunkSizes{segmentNonces, segmentNonces});
    int gpuLanes = 0;
    for (const auto& lane : lanes) {
        gpuLanes += lane.kind == engine::ComputeWorkerLaneKind::gpu ? 1 : 0;
    }
    const auto device = scheduler.computeEngine().gpuDeviceName();

    bool finished = false;
    auto task = runUntilStopped(scheduler, stop.get_token(), finished);
    // A run that never gets going (no segment within a minute) ends the measurement empty.
    QTimer::singleShot(std::chrono::minutes(1), [&] {
        if (!window.closed) {
            window.closed = true;
            scheduler.cancelRun();
            stop.request_stop();
        }
    });
    if (!finished) {
        QCoreApplication::exec();
    }

    const double segmentsPerSecond =
        window.measuredSeconds > 0 ? static_cast<double>(window.segments) / window.measuredSeconds
                                   : 0.0;
    const double ceiling = segmentsPerSecond * kDesignedGpuChunk;
    const auto saves = scheduler.stateStore()->stats();
    const double meanWriteMs =
        saves.written > 0 ? saves.writeSeconds * 1e3 / static_cast<double>(saves.written) : 0.0;
    if (json) {
        nlohmann::ordered_json report;
        report["segment_nonces"] = segmentNonces;
        report["device"] = device ? nlohmann::json(*device) : nlohmann::json(nullptr);
        report["gpu_lanes"] = gpuLanes;
        report["cpu_lanes"] = static_cast<int>(lanes.size()) - gpuLanes;
        report["segments"] = window.segments;
        report["seconds"] = window.measuredSeconds;
        report["segments_per_s"] = segmentsPerSecond;
        report["gpu_ceiling_nps"] = ceiling;
        report["gpu_dispatches"] = window.gpuDispatches;
        report["run_log_lines"] = lines;
        report["saves_requested"] = saves.requested;
        report["saves_written"] = saves.written;
        report["mean_write_ms"] = meanWriteMs;
        report["longest_write_ms"] = saves.longestWriteSeconds * 1e3;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("%zu lanes (%d GPU, %zu CPU) on %s, segments of %llu nonces, difficulty %d\n",
                    lanes.size(), gpuLanes, lanes.size() - gpuLanes,
                    device ? device->c_str() : "no OpenCL device",
                    static_cast<unsigned long long>(segmentNonces), kDifficulty);
        std::printf("%llu segments in %.2f s: %.0f segments/s, %llu run-log lines in all\n",
                    static_cast<unsigned long long>(window.segments), window.measuredSeconds,
                    segmentsPerSecond, static_cast<unsigned long long>(lines));
        std::printf("%llu GPU dispatches in the measured time\n",
                    static_cast<unsigned long long>(window.gpuDispatches));
        std::printf(
            "progress saves: %llu asked for, %llu written, %.1f ms a write on average, "
            "%.1f ms the longest\n",
            static_cast<unsigned long long>(saves.requested),
            static_cast<unsigned long long>(saves.written), meanWriteMs,
            saves.longestWriteSeconds * 1e3);
        std::printf("GPU ceiling: %.1f G nonces/s (segments/s x 2^26)\n", ceiling / 1e9);
    }
    return window.segments > 0 ? 0 : 1;
}

}  // namespace corvanta::bench
