#include "tasks/worker_lane_loop.h"

#include <QPointer>

#include "async/cancellable_sleep.h"
#include "async/engine_search.h"
#include "async/main_thread.h"
#include "tasks/lane_plan.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"

namespace corvanta::tasks {

namespace {

using namespace std::chrono_literals;
using engine::ComputeSearchStatus;
using engine::ComputeWorkerLaneKind;

QString word(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString progressLabel(std::uint64_t end, std::uint64_t upperBound) {
    const double progress =
        upperBound == 0 ? 100.0 : static_cast<double>(end) / static_cast<double>(upperBound) * 100;
    return QString::asprintf("%.1f", progress);
}

double secondsBetween(std::chrono::steady_clock::time_point from,
                      std::chrono::steady_clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

}  // namespace

WorkerLaneLoop::WorkerLaneLoop(TaskScheduler& scheduler, ComputeWorkerLane lane,
                               std::optional<int> budgetIndex)
    : scheduler_(scheduler),
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
    return scheduler_.deps_.timing.clock();
}

bool WorkerLaneLoop::throttled(const std::optional<Clock::time_point>& last,
                               std::chrono::milliseconds interval) const {
    return last && now() - *last < scheduler_.deps_.timing.scaledDuration(interval);
}

void WorkerLaneLoop::log(const QString& message) const {
    scheduler_.log(category_, message);
}

bool WorkerLaneLoop::cancelled(const std::stop_token& stop) const {
    return stop.stop_requested() || scheduler_.isCancelled();
}

bool WorkerLaneLoop::poolExhausted() const {
    return !scheduler_.workRemains();
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
    const auto& timing = scheduler_.deps_.timing;
    auto pool = scheduler_.rangePool_;
    const bool isCpu = lane_.kind == ComputeWorkerLaneKind::cpu;
    for (;;) {
        if (cancelled(stop)) {
            log(prefix_ + QStringLiteral("cancelled segments=") + QString::number(segments_));
            co_return;
        }
        const guard::PressureAdvice advice = scheduler_.advice();
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
        scheduler_.persistProgress();
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
        // Runs on the main thread, possibly after this lane has ended (a cancelled search stops
        // waiting for it), so it holds nothing of the lane.
        auto candidateHook = [scheduler = QPointer<TaskScheduler>(&scheduler_),
                              taskId = scheduler_.currentTaskId_, category = category_,
                              prefix = prefix_, segment](std::uint64_t nonce) {
            if (scheduler && scheduler->currentTaskId_ == taskId) {
                reportCandidate(*scheduler, category, prefix, nonce, segment);
            }
        };
        engine::SearchRequest request{range.start,
                                      range.end,
                                      scheduler_.currentSeedUtf8_,
                                      scheduler_.currentDifficulty_,
                                      lane_.kind,
                                      engine::DispatchTag{category_.toStdString(), segment}};
        auto result =
            co_await async::awaitSearch(scheduler_.computeEngine(), request, candidateHook, stop);
        if (!isCpu && result.status == ComputeSearchStatus::unprocessed && !cancelled(stop)) {
            log(QStringLiteral("returned gpu-unprocessed segment=") + QString::number(segment) +
                QStringLiteral(" note=") + word(engine::searchNoteWord(result.note)) +
                QStringLiteral("; fallback=cpu"));
            request.lane = ComputeWorkerLaneKind::cpu;
            result = co_await async::awaitSearch(scheduler_.computeEngine(), request, candidateHook,
                                                 stop);
        }
        const double elapsed = secondsBetween(segmentStartedAt, Clock::now());

        if (cancelled(stop)) {
            pool->returnRange(range);
            scheduler_.persistProgress();
            log(prefix_ + QStringLiteral("returned [%1..<%2) reason=cancelled")
                              .arg(range.start)
                              .arg(range.end));
            co_return;
        }
        if (result.status != ComputeSearchStatus::completed) {
            pool->returnRange(range);
            scheduler_.persistProgress();
            log(prefix_ +
                QStringLiteral("returned [%1..<%2) reason=").arg(range.start).arg(range.end) +
                word(engine::searchStatusWord(result.status)) + QStringLiteral(" note=") +
                word(engine::searchNoteWord(result.note)));
            co_return;
        }
        pool->complete(range);
        scheduler_.persistProgress();
        writeDoneLine(result, segment, range.start, range.end, elapsed);
        throughputStep(result, range.start, range.end);
        if (scheduler_.onProgress_) {
            scheduler_.onProgress_(scheduler_.currentTaskId_, scheduler_.currentSeed_,
                                   scheduler_.currentDifficulty_, range.end,
                                   scheduler_.currentUpperBound_);
        }
        co_await async::yieldToEventLoop();
        segments_ = segment;
    }
    log(prefix_ + QStringLiteral("exit exhausted segments=") + QString::number(segments_) +
        QStringLiteral(" alive=") +
        QString::asprintf("%.1f", secondsBetween(laneStartedAt_, now())) + QStringLiteral("s"));
}

void WorkerLaneLoop::reportCandidate(TaskScheduler& scheduler, const QString& category,
                                     const QString& prefix, std::uint64_t nonce, int segment) {
    auto& coordinator = scheduler.coordinator_;
    if (scheduler.isCancelled()) {
        // The run is being abandoned and its validation was reset: the nonce is kept for the
        // run's last save instead of being validated (and refused) now.
        scheduler.keepCandidates({nonce});
    } else {
        coordinator.enqueueCandidates({nonce}, scheduler.currentTaskId_, scheduler.currentSeed_);
    }
    scheduler.log(
        category,
        prefix + QStringLiteral("candidate nonce=%1 segment=%2 queued validationPending=%3")
                     .arg(nonce)
                     .arg(segment)
                     .arg(coordinator.pendingCount()));
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
        QStringLiteral(" backend=") + word(engine::searchBackendWord(result)) +
        QStringLiteral(" note=") + word(engine::searchNoteWord(result.note)) +
        QStringLiteral(" batches=") + QString::number(result.batches) + QStringLiteral(" rate=") +
        rateLabel(rate) + QStringLiteral(" progress=") +
        progressLabel(end, scheduler_.currentUpperBound_) + QStringLiteral("%"));
    lastDoneLogAt_ = now();
}

void WorkerLaneLoop::throughputStep(const engine::ComputeSearchResult& result, std::uint64_t start,
                                    std::uint64_t end) {
    const auto workers = scheduler_.workerRegistry_->count();
    const int pending = scheduler_.coordinator_.pendingCount();
    const auto at = now();
    const auto summaryEvery = scheduler_.deps_.timing.scaledDuration(1000ms);
    struct Summary {
        double intervalRate;
        double averageRate;
        std::uint64_t segments;
        std::uint64_t candidates;
    };
    const auto summary = scheduler_.throughputMonitor_.update(
        [&](engine::TaskThroughputAccumulator& a) -> std::optional<Summary> {
            a.totalNonceCount += end - start;
            a.totalSegments += 1;
            a.totalCandidates += result.nonces.size();
            const auto interval = at - a.lastSummaryAt;
            if (interval < summaryEvery) {
                return std::nullopt;
            }
            const double delta = static_cast<double>(a.totalNonceCount - a.lastSummaryNonceCount);
            const double sinceStart = secondsBetween(a.startedAt, at);
            a.lastSummaryAt = at;
            a.lastSummaryNonceCount = a.totalNonceCount;
            return Summary{delta / std::max(std::chrono::duration<double>(interval).count(), 0.001),
                           static_cast<double>(a.totalNonceCount) / std::max(sinceStart, 0.001),
                           a.totalSegments, a.totalCandidates};
        });
    if (!summary) {
        return;
    }
    scheduler_.log(QStringLiteral("ORCH"),
                   QStringLiteral("throughput workers=") + QString::number(workers) +
                       QStringLiteral(" rate=") + rateLabel(summary->intervalRate) +
                       QStringLiteral(" avg=") + rateLabel(summary->averageRate) +
                       QStringLiteral(" segments=") + QString::number(summary->segments) +
                       QStringLiteral(" candidates=") + QString::number(summary->candidates) +
                       QStringLiteral(" validationPending=") + QString::number(pending) +
                       QStringLiteral(" backend=") + word(engine::searchBackendWord(result)) +
                       QStringLiteral(" progress=") +
                       progressLabel(end, scheduler_.currentUpperBound_) + QStringLiteral("%"));
}

}  // namespace corvanta::tasks
