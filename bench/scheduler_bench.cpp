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
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::bench {

namespace {

constexpr std::uint64_t kNonces = std::uint64_t{1} << 28;
constexpr int kDifficulty = 20;

double bareEngineRate(engine::ComputeEngine& engine, const std::string& seed, unsigned threads) {
    const std::uint64_t share = kNonces / threads;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::shared_ptr<engine::ComputeSearch>> searches;
    for (unsigned t = 0; t < threads; ++t) {
        searches.push_back(engine.startSearch(
            engine::SearchRequest{t * share, (t + 1) * share, seed, kDifficulty,
                                  engine::ComputeWorkerLaneKind::cpu, std::nullopt}));
    }
    for (auto& search : searches) {
        search->wait();
    }
    return static_cast<double>(share * threads) / secondsSince(start);
}

struct SchedulerRun {
    double rate = 0;
    bool finished = false;
};

QCoro::Task<void> runScheduler(tasks::TaskScheduler& scheduler, QString seed, SchedulerRun& out) {
    const auto start = std::chrono::steady_clock::now();
    co_await scheduler.runTask(QStringLiteral("bench-task"), seed, kDifficulty, kNonces, 0, {});
    out.rate = static_cast<double>(kNonces) / secondsSince(start);
    out.finished = true;
}

}  // namespace

int runSchedulerBench(const std::vector<std::string>& args) {
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
    const double engineRate = bareEngineRate(scheduler.computeEngine(), seed, threads);

    SchedulerRun run;
    auto task = runScheduler(scheduler, QString::fromStdString(seed), run);
    while (!run.finished) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    const double ratio = run.rate / engineRate;
    if (json) {
        nlohmann::ordered_json report;
        report["scheduler_nps"] = run.rate;
        report["engine_nps"] = engineRate;
        report["ratio"] = ratio;
        std::cout << report.dump() << std::endl;
    } else {
        std::printf("one task of %llu nonces, difficulty %d, %d run-log lines\n",
                    static_cast<unsigned long long>(kNonces), kDifficulty, lines);
        std::printf("scheduler %.2f M/s, bare engine on %u threads %.2f M/s, ratio %.3f\n",
                    run.rate / 1e6, threads, engineRate / 1e6, ratio);
    }
    return 0;
}

}  // namespace corvanta::bench
