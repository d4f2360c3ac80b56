#include <gtest/gtest.h>

#include <QDBusConnection>

#include "orchestrator_fixture.h"
#include "platform/battery_monitor.h"
#include "platform/sleep_monitor.h"
#include "support/fake_power_services.h"
#include "support/private_session_bus.h"
#include "support/qt_printers.h"
#include "tasks/engine_power_policy.h"

namespace corvanta::tasks {
namespace {

using corvanta::testing::FakePowerServices;

// The orchestrator against its devserver (tasks too hard to finish), with the machine's power
// played by fake UPower and logind services on a bus of the test's own.
class EnginePowerPolicyTest : public OrchestratorTest {
protected:
    EnginePowerPolicyTest()
        : bus(busDirectory.path() + QStringLiteral("/bus")),
          fake(bus.address()),
          clientBus(QDBusConnection::connectToBus(bus.address(),
                                                  QStringLiteral("corvanta-test-system"))) {
        battery = std::make_unique<platform::BatteryMonitor>(clientBus);
        sleep = std::make_unique<platform::SleepMonitor>(clientBus);
        policy = std::make_unique<EnginePowerPolicy>(*orchestrator, settings, *battery, *sleep);
        // UPower's first answer: a desktop without a battery.
        EXPECT_TRUE(processEventsUntil([&] { return battery->followsUpower(); }, 10s));
    }
    ~EnginePowerPolicyTest() override {
        policy.reset();
        sleep.reset();
        battery.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("corvanta-test-system"));
    }

    // Starts the engine and waits until it searches.
    void startSearching() {
        runSync(orchestrator->start());
        ASSERT_TRUE(waitForLine("claim segment="));
    }
    bool waitForState(EngineState state) {
        return processEventsUntil([&] { return orchestrator->currentState() == state; }, 10s);
    }
    // A short while for a signal that should change nothing.
    void settle() { corvanta::testing::processEventsFor(300ms); }

    QTemporaryDir busDirectory;
    corvanta::testing::PrivateSessionBus bus;
    FakePowerServices fake;
    QDBusConnection clientBus;
    std::unique_ptr<platform::BatteryMonitor> battery;
    std::unique_ptr<platform::SleepMonitor> sleep;
    std::unique_ptr<EnginePowerPolicy> policy;
};

TEST_F(EnginePowerPolicyTest, SleepPausesTheEngineAndWakingResumesIt) {
    EXPECT_TRUE(sleep->isListening());
    // Awake, the client holds a delay lock on sleep.
    ASSERT_TRUE(processEventsUntil([&] { return fake.heldDelayLocks() == 1; }, 10s));
    startSearching();
    fake.prepareForSleep(true);
    ASSERT_TRUE(waitForLine("[ENGINE] 💤 machine going to sleep; engine paused"));
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_TRUE(policy->holdsPause());
    // The search winds down before the machine may go: the lock is given back only then.
    ASSERT_TRUE(processEventsUntil([&] { return fake.heldDelayLocks() == 0; }, 10s));
    EXPECT_GE(indexOf("main loop exited"), 0);
    EXPECT_FALSE(scheduler->isRunning());

    fake.prepareForSleep(false);
    ASSERT_TRUE(waitForLine("[ENGINE] ☀️ machine woke up; engine resumed"));
    ASSERT_TRUE(processEventsUntil([&] { return fake.heldDelayLocks() == 1; }, 10s));
    EXPECT_TRUE(waitForState(EngineState::running));
    EXPECT_FALSE(policy->holdsPause());
    ASSERT_TRUE(processEventsUntil([&] { return loopsStarted == 2; }));

    // The user's own pause outlasts a sleep: the wake leaves it alone.
    lines.clear();
    orchestrator->pause();
    fake.prepareForSleep(true);
    // Nothing to wind down: the machine may go at once.
    ASSERT_TRUE(processEventsUntil([&] { return fake.heldDelayLocks() == 0; }, 10s));
    fake.prepareForSleep(false);
    settle();
    EXPECT_EQ(countLines("machine"), 0);
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    EXPECT_EQ(loopsStarted, 2);
}

TEST_F(EnginePowerPolicyTest, BatteryPausesTheEngineAndMainsPowerResumesIt) {
    // A desktop: the setting is off by default, and the snapshot's source says "no battery".
    EXPECT_FALSE(battery->hasBattery());
    EXPECT_FALSE(policy->pauseOnBattery());

    startSearching();
    fake.setBattery(FakePowerServices::kDischarging, 61.5);
    ASSERT_TRUE(waitForLine("[ENGINE] 🔋 running on battery; engine paused"));
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    ASSERT_TRUE(battery->battery().has_value());
    EXPECT_TRUE(battery->battery()->onBattery);
    EXPECT_EQ(battery->battery()->percent, 61.5);
    EXPECT_EQ(battery->battery()->state, "discharging");
    // A laptop: on by default.
    EXPECT_TRUE(policy->pauseOnBattery());

    fake.setBattery(FakePowerServices::kCharging, 62);
    ASSERT_TRUE(waitForLine("[ENGINE] 🔌 on mains power; engine resumed"));
    EXPECT_TRUE(waitForState(EngineState::running));

    // Sleep and battery together: the engine comes back only when both have passed.
    fake.setBattery(FakePowerServices::kDischarging, 60);
    ASSERT_TRUE(waitForState(EngineState::paused));
    fake.prepareForSleep(true);
    fake.prepareForSleep(false);
    settle();
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
    fake.setBattery(FakePowerServices::kFullyCharged, 100);
    EXPECT_TRUE(waitForState(EngineState::running));

    // The user's own pause outlasts the battery.
    lines.clear();
    orchestrator->pause();
    fake.setBattery(FakePowerServices::kDischarging, 99);
    settle();
    fake.setBattery(FakePowerServices::kCharging, 99);
    settle();
    EXPECT_EQ(countLines("engine resumed"), 0);
    EXPECT_EQ(orchestrator->currentState(), EngineState::paused);
}

TEST_F(EnginePowerPolicyTest, TheSettingDecidesAndAStartOnBatteryPausesAtOnce) {
    fake.setBattery(FakePowerServices::kDischarging, 50);
    ASSERT_TRUE(processEventsUntil([&] { return battery->isOnBattery(); }));
    // Started by hand on battery: paused as soon as the start has got going.
    runSync(orchestrator->start());
    ASSERT_TRUE(waitForLine("[ENGINE] 🔋 running on battery; engine paused"));
    EXPECT_TRUE(waitForState(EngineState::paused));

    // Turned off: the pause it made is taken back, and the engine runs on battery.
    policy->setPauseOnBattery(false);
    EXPECT_FALSE(policy->pauseOnBattery());
    EXPECT_EQ(settings.value(EnginePowerPolicy::kPauseOnBatteryKey).toBool(), false);
    ASSERT_TRUE(waitForLine("[ENGINE] 🔌 on mains power; engine resumed"));
    EXPECT_TRUE(waitForState(EngineState::running));
    ASSERT_TRUE(waitForLine("claim segment="));
    fake.setBattery(FakePowerServices::kDischarging, 40);
    settle();
    EXPECT_EQ(orchestrator->currentState(), EngineState::running);

    // Turned on again while on battery: paused again.
    policy->setPauseOnBattery(true);
    EXPECT_TRUE(waitForState(EngineState::paused));
}

TEST(PowerMonitors, WithoutASystemBusNothingIsFollowed) {
    QDBusConnection none = QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/corvanta-bus"), QStringLiteral("corvanta-no-bus"));
    EXPECT_FALSE(none.isConnected());
    platform::SleepMonitor sleep(none);
    EXPECT_FALSE(sleep.isListening());
    platform::BatteryMonitor::Options options;
    options.root = "/nonexistent-root";
    platform::BatteryMonitor battery(none, options);
    EXPECT_FALSE(battery.hasBattery());
    EXPECT_FALSE(battery.followsUpower());
    QDBusConnection::disconnectFromBus(QStringLiteral("corvanta-no-bus"));
}

}  // namespace
}  // namespace corvanta::tasks
