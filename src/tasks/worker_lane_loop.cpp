#include "tasks/worker_lane_loop.h"

#include "async/cancellable_sleep.h"
#include "async/engine_search.h"
#include "async/main_thread.h"
#include "engine/compute_engine.h"
#include "engine/range_pool.h"
#include "tasks/lane_plan.h"
#include "tasks/worker_lane_context.h"

namespace corvanta::tasks {

namespace {

using namespace std::chrono_literals;
using engine::ComputeSearchStatus;
using engine::ComputeWorkerLaneKind;

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

WorkerLaneLoop::WorkerLaneLoop(WorkerLaneContext& run, ComputeWorkerLane lane,
                               std::optional<int> budgetIndex)
    : run_(run),
      lane_(lane),
      budgetIndex_(budgetIndex.value_or(lane.laneIndex)),
      category_(lane.kind == ComputeWorkerLaneKind::cpu
                    ? QStringLiteral("CPU")
                    : QStringLiteral("GPU#") + QString::number(lane.laneIndex)),
      prefix_(lane.kind == ComputeWorkerLaneKind::cpu
                  ? QStringLiteral("w#") + QString::number(lane.laneIndex) + QStringLiteral(" ")
                  : QString()),
      laneStartedAt_(now()) {}

WorkerLaneLoop::Clock::time_point WorkerLaneLoop::now() const {
    return run_.timing().clock();
}

bool WorkerLaneLoop::throttled(const std::optional<Clock::time_point>& last,
                               std::chrono::milliseconds interval) const {
    return last && now() - *last < run_.timing().scaledDuration(interval);
}

void WorkerLaneLoop::log(const QString& message) const {
    run_.log(category_, message);
}

bool WorkerLaneLoop::cancelled(const std::stop_token& stop) const {
    return stop.stop_requested() || run_.isCancelled();
}

bool WorkerLaneLoop::poolExhausted() const {
    return !run_.workRemains();
}

bool WorkerLaneLoop::pauseLineDue(const QString& key) {
    if (lastPauseKey_ == key && throttled(lastPauseLogAt_, 2000ms)) {
        return false;
    }
    lastPauseKey_ = key;
    lastPauseLogAt_ = now();
    return true;
}

QCoro::Task<void> WorkerLaneLoop::run(std::stop_token stop) {
    const auto& timing = run_.timing();
    auto pool = run_.rangePool();
    const bool isCpu = lane_.kind == ComputeWorkerLaneKind::cpu;
    for (;;) {
        if (cancelled(stop)) {
            log(prefix_ + QStringLiteral("cancelled segments=") + QString::number(segments_));
            co_return;
        }
        const guard::PressureAdvice advice = run_.advice();
        if (advice.suggestedChunkSize == 0) {
            if (pauseLineDue(advice.reason)) {
                log(prefix_ + QStringLiteral("budget blocked reason=") + advice.reason +
                    QStringLiteral(" sleep=0.5s"));
            }
            co_await async::sleepFor(timing.scaled(500ms), stop);
            continue;
        }
        const auto [gpuAllowed, cpuAllowed] = lanePlan(advice, kMaxGpuLanes, kMaxCpuLanes);
        const int allowed = isCpu ? cpuAllowed : gpuAllowed;
        if (budgetIndex_ >= allowed) {
            if (poolExhausted()) {
                break;
            }
            const QString kind = isCpu ? QStringLiteral("cpu") : QStringLiteral("gpu");
            if (pauseLineDue(kind + QLatin1Char('|') + advice.reason + QLatin1Char('|') +
                             QString::number(allowed))) {
                log(prefix_ + kind + QStringLiteral(" pause reason=") + advice.reason +
                    QStringLiteral(" allowed=") + QString::number(allowed) +
                    QStringLiteral(" sleep=0.5s"));
            }
            co_await async::sleepFor(timing.scaled(500ms), stop);
            continue;
        }
        const auto claimed = pool->claim(lane_.chunkSize == 0 ? 1 : lane_.chunkSize);
        if (!claimed) {
            if (poolExhausted()) {
                break;
            }
            co_await async::sleepFor(timing.scaled(200ms), stop);
            continue;
        }

        const engine::NonceRange range = *claimed;
        const int segment = segments_ + 1;
        run_.persistProgress();
        if (segment == 1 || !throttled(lastClaimLogAt_, 10000ms)) {
            log(prefix_ +
                QStringLiteral("claim segment=%1 startNonce=%2 endNonce=%3 size=%4")
                    .arg(segment)
                    .arg(range.start)
                    .arg(range.end)
                    .arg(range.end - range.start) +
                QStringLiteral(" cpuIdle=") + QString::asprintf("%.0f", advice.cpuIdle) +
                QStringLiteral("% reason=") + advice.reason + QStringLiteral(" pending~") +
                QString::number(pool->pendingRangeCount()));
            lastClaimLogAt_ = now();
        }

        const auto segmentStartedAt = Clock::now();
        const auto candidateHook = run_.candidateHook(category_, prefix_, segment);
        const RunTask& task = run_.task();
        engine::SearchRequest request{
            range.start,     range.end,  task.seedUtf8,
            task.difficulty, lane_.kind, engine::DispatchTag{category_.toStdString(), segment}};
        auto result =
            co_await async::awaitSearch(run_.computeEngine(), request, candidateHook, stop);
        if (!isCpu && result.status == ComputeSearchStatus::unprocessed && !cancelled(stop)) {
            log(QStringLiteral("returned gpu-unprocessed segment=") + QString::number(segment) +
                QStringLiteral(" note=") + QString::fromUtf8(engine::searchNoteWord(result.note)) +
                QStringLiteral("; fallback=cpu"));
            request.lane = ComputeWorkerLaneKind::cpu;
            result =
                co_await async::awaitSearch(run_.computeEngine(), request, candidateHook, stop);
        }
        const double elapsed = secondsBetween(segmentStartedAt, Clock::now());

        if (cancelled(stop)) {
            pool->returnRange(range);
            run_.persistProgress();
            log(prefix_ + QStringLiteral("returned [%1..<%2) reason=cancelled")
                              .arg(range.start)
                              .arg(range.end));
            co_return;
        }
        if (result.status != ComputeSearchStatus::completed) {
            pool->returnRange(range);
            run_.persistProgress();
            log(prefix_ +
                QStringLiteral("returned [%1..<%2) reason=").arg(range.start).arg(range.end) +
                QString::fromUtf8(engine::searchStatusWord(result.status)) +
                QStringLiteral(" note=") + QString::fromUtf8(engine::searchNoteWord(result.note)));
            co_return;
        }
        pool->complete(range);
        run_.persistProgress();
        writeDoneLine(result, segment, range.start, range.end, elapsed);
        run_.segmentSearched(result, range);
        co_await async::yieldToEventLoop();
        segments_ = segment;
    }
    log(prefix_ + QStringLiteral("exit exhausted segments=") + QString::number(segments_) +
        QStringLiteral(" alive=") +
        QString::asprintf("%.1f", secondsBetween(laneStartedAt_, now())) + QStringLiteral("s"));
}

void WorkerLaneLoop::writeDoneLine(const engine::ComputeSearchResult& result, int segment,
                                   std::uint64_t start, std::uint64_t end, double elapsedSeconds) {
    const bool matched = !result.nonces.empty();
    if (!(segment < 2 || matched || !throttled(lastDoneLogAt_, 10000ms))) {
        return;
    }
    const double rate = static_cast<double>(end - start) / std::max(elapsedSeconds, 0.001);
    log(prefix_ + QStringLiteral("done ") +
        (matched ? QStringLiteral("🎯 matched") : QStringLiteral("∅ no-match")) +
        QStringLiteral(" segment=%1 startNonce=%2 endNonce=%3").arg(segment).arg(start).arg(end) +
        QStringLiteral(" backend=") + QString::fromUtf8(engine::searchBackendWord(result)) +
        QStringLiteral(" note=") + QString::fromUtf8(engine::searchNoteWord(result.note)) +
        QStringLiteral(" batches=") + QString::number(result.batches) + QStringLiteral(" rate=") +
        rateLabel(rate) + QStringLiteral(" progress=") +
        progressLabel(end, run_.task().upperBound) + QStringLiteral("%"));
    lastDoneLogAt_ = now();
}

}  // namespace corvanta::tasks
