// One task over 2^28 nonces at a difficulty that is never met, through the whole scheduler
// (lanes, persisted progress, the run log in a real database), against the bare engine on every
// core, in the same run.
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bench_commands.h"
#include "bench_util.h"
#include "log/log_buffer_service.h"
#include "parallel_search.h"
#include "scheduler_ceiling.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::bench {

namespace {

constexpr std::uint64_t kNonces = std::uint64_t{1} << 28;
constexpr int kDifficulty = 20;

double bareEngineRate(engine::ComputeEngine& engine, const std::string& seed, unsigned threads) {
    const std::uint64_t share = kNonces / threads;
    const auto start = std::chrono::steady_clock::now();
    searchOnEveryCore(engine, seed, kDifficulty, 0, share, threads);
    return static_cast<double>(share * threads) / secondsSince(start);
}

struct SchedulerRun {
    std::chrono::steady_clock::time_point startedAt;
    std::chrono::steady_clock::time_point lastSegmentAt;
    double rate = 0;
    double runSeconds = 0;
    bool finished = false;
};

QCoro::Task<void> runScheduler(tasks::TaskScheduler& scheduler, QString seed, SchedulerRun& out) {
    out.startedAt = std::chrono::steady_clock::now();
    co_await scheduler.runTask(QStringLiteral("bench-task"), seed, kDifficulty, kNonces, 0, {});
    out.runSeconds = secondsSince(out.startedAt);
    // Searching ends with the last segment; the run then waits its fixed 50 ms for validation
    // to drain, which is not search time.
    out.rate = static_cast<double>(kNonces) /
               std::chrono::duration<double>(out.lastSegmentAt - out.startedAt).count();
    out.finished = true;
    QCoreApplication::quit();
}

}  // namespace

int runSchedulerBench(const std::vector<std::string>& args) {
    if (hasFlag(args, "--segment-nonces")) {
        return runSchedulerCeiling(args);
    }
    const bool json = hasFlag(args, "--json");
    int argc = 1;
    char name[] = "corvanta-bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::cerr << "corvanta-bench: no temporary directory\n";
        return 1;
    }
    const std::string seed = makeSeed(40);

    log::LogBufferService logService(dir.path(), log::LogBufferService::kDefaultFileSizeLimitBytes,
                                     log::LogBufferService::kDefaultMaxDatabaseFiles,
                                     [] { return QDateTime::currentDateTimeUtc(); });
    tasks::ValidationCoordinator coordinator;
    tasks::TaskSchedulerDependencies deps;
    deps.coordinator = &coordinator;
    deps.currentAdvice = [] { return guard::PressureAdvice{}; };
    deps.currentSnapshot = [] { return guard::SystemSnapshot{}; };
    deps.stateStore = std::make_unique<tasks::TaskStateStore>(dir.path());
    tasks::TaskScheduler scheduler(std::move(deps));
    int lines = 0;
    scheduler.setOnLog([&](const QString& category, const QString& message) {
        logService.append(QStringLiteral("1"), category, message);
        ++lines;
    });

    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    // Alternate the two, best of three each, so a burst of other work on the machine does not
    // decide the ratio.
    double engineRate = 0;
    SchedulerRun run;
    for (int round = 0; round < 3; ++round) {
        engineRate = std::max(engineRate, bareEngineRate(scheduler.computeEngine(), seed, threads));
        SchedulerRun attempt;
        scheduler.setOnProgress(
            [&attempt](const QString&, const QString&, int, std::uint64_t, std::uint64_t) {
                attempt.lastSegmentAt = std::chrono::steady_clock::now();
            });
        auto task =
            runScheduler(scheduler, QString::fromStdString(seed + std::to_string(round)), attempt);
        if (!attempt.finished) {
            QCoreApplication::exec();
        }
        if (attempt.rate > run.rate) {
            run = attempt;
        }
    }
    const double ratio = run.rate / engineRate;
    if (json) {
        nlohmann::ordered_json report;
        report["scheduler_nps"] = run.rate;
        report["engine_nps"] = engineRate;
        report["ratio"] = ratio;
        report["run_seconds"] = run.runSeconds;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("best of 3 runs of one task of %llu nonces, difficulty %d, %d run-log lines\n",
                    static_cast<unsigned long long>(kNonces), kDifficulty, lines);
        std::printf("scheduler %.2f M/s, bare engine on %u threads %.2f M/s, ratio %.3f\n",
                    run.rate / 1e6, threads, engineRate / 1e6, ratio);
        std::printf("whole run %.3f s, including the end-of-range wait for validation\n",
                    run.runSeconds);
    }
    return 0;
}

}  // namespace corvanta::bench
