#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "guard/pressure_controller.h"
#include "guard/system_monitor_service.h"
#include "guard/thermal_guard.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::guard {
namespace {

using namespace std::chrono_literals;
using testing::ManualClock;
using testing::SensorFixture;

SystemSnapshot snapshotWith(const char* thermal, int memoryPressure = 0, double latencyMs = 0.0,
                            double cpuUsage = 0.0) {
    SystemSnapshot s;
    s.thermalState = QString::fromLatin1(thermal);
    s.memoryPressure = memoryPressure;
    s.mainThreadLatencyMs = latencyMs;
    s.cpuUsage = cpuUsage;
    return s;
}

struct Budget {
    quint64 chunk;
    int units;
    const char* reason;
};

void expectBudget(const PressureAdvice& advice, const Budget& expected) {
    EXPECT_EQ(advice.suggestedChunkSize, expected.chunk) << expected.reason;
    EXPECT_EQ(advice.suggestedCuCount, expected.units) << expected.reason;
    EXPECT_EQ(advice.reason, QString::fromLatin1(expected.reason));
}

TEST(PressureController, FirstMatchingRuleDecidesInOrder) {
    const MonotonicTime now{std::chrono::seconds(7)};
    const PressureAdvice initial = PressureAdvice::initial({});
    const auto advise = [&](const SystemSnapshot& s, double multiplier = 1.0) {
        return PressureController::adviceFor(s, initial, multiplier, now);
    };

    // Thermal over memory over latency.
    expectBudget(advise(snapshotWith("critical", 2, 500.0)), {0, 0, "thermal-critical"});
    expectBudget(advise(snapshotWith("nominal"), 0.0), {0, 0, "thermal-critical"});
    expectBudget(advise(snapshotWith("serious", 2, 500.0), 0.25),
                 {10'000'000, 1, "thermal-serious"});
    expectBudget(advise(snapshotWith("fair", 2, 300.0)), {10'000'000, 8, "memory-critical"});
    expectBudget(advise(snapshotWith("nominal", 1, 300.0)), {10'000'000, 8, "memory-pressure"});
    expectBudget(advise(snapshotWith("fair", 0, 250.0)), {10'000'000, 1, "ui-latency"});
    expectBudget(advise(snapshotWith("nominal", 0, 249.9)), {10'000'000, 1, "ui-busy"});
    expectBudget(advise(snapshotWith("nominal", 0, 80.0)), {10'000'000, 1, "ui-busy"});
    expectBudget(advise(snapshotWith("nominal", 0, 79.9)), {200'000'000, 16, "thermal-nominal"});
    expectBudget(advise(snapshotWith("unknown")), {200'000'000, 16, "thermal-nominal"});

    const PressureAdvice advice = advise(snapshotWith("nominal", 0, 0.0, 25.0), 0.5);
    EXPECT_DOUBLE_EQ(advice.cpuIdle, 75.0);
    EXPECT_DOUBLE_EQ(advice.thermalMultiplier, 0.5);
    EXPECT_EQ(advice.timestamp, now);
    EXPECT_DOUBLE_EQ(advise(snapshotWith("nominal", 0, 0.0, 130.0)).cpuIdle, 0.0);
    EXPECT_DOUBLE_EQ(advise(snapshotWith("nominal", 0, 0.0, -5.0)).cpuIdle, 100.0);
}

TEST(PressureController, FairStateStepsDownFromThePreviousAdvice) {
    PressureAdvice advice = PressureAdvice::initial({});
    const SystemSnapshot fair = snapshotWith("fair");
    const Budget expected[] = {
        {100'000'000, 8, "thermal-fair"}, {50'000'000, 4, "thermal-fair"},
        {25'000'000, 2, "thermal-fair"},  {12'500'000, 1, "thermal-fair"},
        {10'000'000, 1, "thermal-fair"},  {10'000'000, 1, "thermal-fair"},
    };
    for (const Budget& step : expected) {
        advice = PressureController::adviceFor(fair, advice, 0.5, {});
        expectBudget(advice, step);
    }

    // From a blocked advice the fair state gives the floor, never 0 units.
    PressureAdvice blocked = PressureAdvice::initial({});
    blocked.suggestedChunkSize = 0;
    blocked.suggestedCuCount = 0;
    expectBudget(PressureController::adviceFor(fair, blocked, 0.5, {}),
                 {10'000'000, 1, "thermal-fair"});
    // Back to nominal restores the full budget at once.
    expectBudget(PressureController::adviceFor(snapshotWith("nominal"), advice, 1.0, {}),
                 {200'000'000, 16, "thermal-nominal"});
}

class PressureControllerOnFixture : public ::testing::Test {
protected:
    PressureControllerOnFixture() {
        fixture.writeProcStat(100, 0, 100, 800);
        fixture.writeMemInfo(1'000'000, 900'000);
        fixture.writePressure(0.0, 0.0);
        fixture.writeZone(0, 40'000);
        SystemMonitorOptions options;
        options.root = fixture.root();
        options.clock = clock.function();
        options.allowNvml = false;
        options.sampleInterval = 5ms;
        monitor = std::make_unique<SystemMonitorService>(options);
    }

    std::unique_ptr<PressureController> makeController(std::chrono::milliseconds interval = 2s) {
        PressureControllerOptions options;
        options.adviceInterval = interval;
        options.clock = clock.function();
        return std::make_unique<PressureController>(*monitor, options);
    }

    SensorFixture fixture;
    ManualClock clock;
    std::unique_ptr<SystemMonitorService> monitor;
};

TEST_F(PressureControllerOnFixture, CriticalAndResumeCallbacksOncePerTransition) {
    fixture.writeZone(0, 75'000);
    monitor = std::make_unique<SystemMonitorService>([&] {
        SystemMonitorOptions options;
        options.root = fixture.root();
        options.clock = clock.function();
        options.allowNvml = false;
        return options;
    }());
    const auto controller = makeController();
    ThermalGuard& guard = controller->thermalGuard();
    EXPECT_EQ(guard.currentState(), platform::ThermalState::fair);
    EXPECT_DOUBLE_EQ(guard.currentMultiplier(), 0.5);

    int becameCritical = 0;
    int resumed = 0;
    guard.setOnBecomeCritical([&] { ++becameCritical; });
    guard.setOnResume([&] { ++resumed; });
    const auto tick = [&] {
        clock.advance(1s);
        monitor->collectDynamic();
        controller->refreshAdvice();
        return controller->currentAdvice();
    };

    fixture.writeZone(0, 101'000);
    expectBudget(tick(), {0, 0, "thermal-critical"});
    EXPECT_DOUBLE_EQ(guard.currentMultiplier(), 0.0);
    expectBudget(tick(), {0, 0, "thermal-critical"});
    expectBudget(tick(), {0, 0, "thermal-critical"});
    EXPECT_EQ(becameCritical, 1);
    EXPECT_EQ(resumed, 0);

    fixture.writeZone(0, 90'000);
    expectBudget(tick(), {10'000'000, 1, "thermal-serious"});
    expectBudget(tick(), {10'000'000, 1, "thermal-serious"});
    EXPECT_EQ(becameCritical, 1);
    EXPECT_EQ(resumed, 1);
    EXPECT_DOUBLE_EQ(guard.currentMultiplier(), 0.25);

    fixture.writeZone(0, 100'000);
    tick();
    fixture.writeZone(0, 20'000);
    expectBudget(tick(), {200'000'000, 16, "thermal-nominal"});
    EXPECT_EQ(becameCritical, 2);
    EXPECT_EQ(resumed, 2);
    EXPECT_DOUBLE_EQ(guard.currentMultiplier(), 1.0);
}

TEST_F(PressureControllerOnFixture, StartStopShareTheMonitorAndPublishEveryAdvice) {
    // Another owner (the window) keeps the monitor running.
    monitor->start();
    const auto controller = makeController(10ms);
    QSignalSpy advised(controller.get(), &PressureController::currentAdviceChanged);
    EXPECT_EQ(controller->currentAdvice().reason, "initial");

    controller->start();
    controller->start();
    EXPECT_TRUE(controller->isRunning());
    EXPECT_EQ(monitor->startCount(), 2);
    // One sample and one advice at once.
    EXPECT_EQ(monitor->currentSnapshot().batteryLevel, 100.0);
    EXPECT_EQ(advised.count(), 1);
    EXPECT_EQ(controller->currentAdvice().reason, "thermal-nominal");
    EXPECT_TRUE(QTest::qWaitFor([&] { return advised.count() >= 4; }, 5000));

    // Equal advice is still published: observers count ticks, not changes.
    controller->stop();
    const auto before = advised.count();
    controller->refreshAdvice();
    controller->refreshAdvice();
    EXPECT_EQ(advised.count(), before + 2);
    EXPECT_EQ(advised.last().at(0).value<PressureAdvice>(),
              advised.at(advised.count() - 2).at(0).value<PressureAdvice>());

    // The controller gave back its own start only; stopping twice changes nothing more.
    EXPECT_FALSE(controller->isRunning());
    EXPECT_EQ(monitor->startCount(), 1);
    EXPECT_TRUE(monitor->isRunning());
    controller->stop();
    EXPECT_EQ(monitor->startCount(), 1);
    EXPECT_TRUE(monitor->isRunning());

    // With the last start given back the monitor stops, also when the controller goes away.
    monitor->releaseStart();
    controller->start();
    EXPECT_EQ(monitor->startCount(), 1);
    const auto restartedAt = advised.count();
    EXPECT_TRUE(QTest::qWaitFor([&] { return advised.count() > restartedAt; }, 5000));
    controller->stop();
    EXPECT_FALSE(monitor->isRunning());
    EXPECT_EQ(monitor->startCount(), 0);

    controller->start();
    {
        const auto other = makeController();
        other->start();
        EXPECT_EQ(monitor->startCount(), 2);
    }
    EXPECT_EQ(monitor->startCount(), 1);
    EXPECT_TRUE(monitor->isRunning());
}

TEST_F(PressureControllerOnFixture, ThermalChangeAdvisesAtOnceWhileRunning) {
    // A tick far away: only the thermal change itself can renew the advice here.
    const auto controller = makeController(1h);
    controller->start();
    expectBudget(controller->currentAdvice(), {200'000'000, 16, "thermal-nominal"});

    fixture.writeZone(0, 101'000);
    clock.advance(5ms);
    monitor->collectDynamic();
    expectBudget(controller->currentAdvice(), {0, 0, "thermal-critical"});

    fixture.writeZone(0, 40'000);
    clock.advance(5ms);
    monitor->collectDynamic();
    expectBudget(controller->currentAdvice(), {200'000'000, 16, "thermal-nominal"});

    // A stopped controller keeps its last advice.
    controller->stop();
    fixture.writeZone(0, 101'000);
    clock.advance(5ms);
    monitor->collectDynamic();
    expectBudget(controller->currentAdvice(), {200'000'000, 16, "thermal-nominal"});
}

}  // namespace
}  // namespace corvanta::guard
