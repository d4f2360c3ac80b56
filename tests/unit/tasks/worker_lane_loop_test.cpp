#include <gtest/gtest.h>

#include <QStringList>

#include <memory>
#include <vector>

#include "engine/compute_engine.h"
#include "engine/range_pool.h"
#include "support/coro_test_util.h"
#include "tasks/worker_lane_context.h"
#include "tasks/worker_lane_loop.h"

namespace corvanta::tasks {
namespace {

using corvanta::testing::runSync;
using engine::ComputeWorkerLaneKind;

// A run of its own for one lane: the real engine and range pool, and a record of everything the
// lane hands back.
class RecordedRun : public WorkerLaneContext {
public:
    explicit RecordedRun(std::uint64_t upperBound)
        : pool_(std::make_shared<engine::RangePool>(0, upperBound)) {
        task_ = RunTask{QStringLiteral("t"), QStringLiteral("abc"), "abc", 2, upperBound};
        timing_.intervalScale = 0.01;
        advice_.reason = QStringLiteral("baseline");
    }

    const RunTask& task() const override { return task_; }
    const SchedulerTiming& timing() const override { return timing_; }
    guard::PressureAdvice advice() const override { return advice_; }
    std::shared_ptr<engine::RangePool> rangePool() const override { return pool_; }
    engine::ComputeEngine& computeEngine() override { return engine_; }
    bool isCancelled() const override { return cancelled; }
    bool workRemains() const override {
        const auto snapshot = pool_->snapshot();
        return !snapshot.returnedRanges.empty() || snapshot.nextUnallocated < pool_->upperBound();
    }
    void persistProgress() override { ++saves; }
    CandidateHook candidateHook(const QString& category, const QString&, int segment) override {
        return [this, category, segment](std::uint64_t nonce) {
            hits.push_back(nonce);
            hitLabels.append(category + QLatin1Char('/') + QString::number(segment));
        };
    }
    void segmentSearched(const engine::ComputeSearchResult&,
                         const engine::NonceRange& range) override {
        searched.push_back(range);
    }
    void log(const QString& category, const QString& message) const override {
        lines.append(category + QLatin1Char(' ') + message);
    }

    bool cancelled = false;
    int saves = 0;
    std::vector<std::uint64_t> hits;
    QStringList hitLabels;
    std::vector<engine::NonceRange> searched;
    mutable QStringList lines;

private:
    RunTask task_;
    SchedulerTiming timing_;
    guard::PressureAdvice advice_;
    engine::ComputeEngine engine_;
    std::shared_ptr<engine::RangePool> pool_;
};

TEST(WorkerLaneLoop, WorksThroughAnyRunItIsGivenAndReportsBackThroughIt) {
    RecordedRun run(3'000);
    WorkerLaneLoop lane(run, ComputeWorkerLane{ComputeWorkerLaneKind::cpu, 1, 1'000});
    runSync(lane.run({}));

    // Every segment searched once, in order, with a save when it was claimed and when it ended.
    ASSERT_EQ(run.searched.size(), 3u);
    for (std::uint64_t i = 0; i < 3; ++i) {
        EXPECT_EQ(run.searched[i], (engine::NonceRange{i * 1'000, (i + 1) * 1'000}));
    }
    EXPECT_EQ(run.saves, 6);
    EXPECT_FALSE(run.workRemains());
    // The hits are those of the engine, handed on with the lane and segment that found them.
    const auto expected = run.computeEngine()
                              .searchRange(engine::SearchRequest{
                                  0, 3'000, "abc", 2, ComputeWorkerLaneKind::cpu, std::nullopt})
                              .nonces;
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(run.hits, expected);
    EXPECT_TRUE(run.hitLabels.first().startsWith(QStringLiteral("CPU/")));
    EXPECT_TRUE(run.lines.first().startsWith(QStringLiteral("CPU w#1 claim segment=1 ")));
    EXPECT_TRUE(run.lines.last().startsWith(QStringLiteral("CPU w#1 exit exhausted segments=3 ")));

    // A cancelled run: the lane claims nothing and says so.
    RecordedRun cancelled(3'000);
    cancelled.cancelled = true;
    WorkerLaneLoop idle(cancelled, ComputeWorkerLane{ComputeWorkerLaneKind::gpu, 0, 1'000});
    runSync(idle.run({}));
    EXPECT_EQ(cancelled.lines, QStringList{QStringLiteral("GPU#0 cancelled segments=0")});
    EXPECT_TRUE(cancelled.searched.empty());
    EXPECT_EQ(cancelled.saves, 0);
}

}  // namespace
}  // namespace corvanta::tasks
