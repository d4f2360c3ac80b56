#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "ui/device_info_view_model.h"
#include "unit/guard/sensor_fixture.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using guard::testing::SensorFixture;

std::unique_ptr<DeviceInfoViewModel> viewModelFor(const SensorFixture& fixture,
                                                  std::chrono::milliseconds interval) {
    guard::DeviceInfoCollectorOptions options;
    options.root = fixture.root();
    options.useOpenCl = false;
    return std::make_unique<DeviceInfoViewModel>(options, interval);
}

TEST(DeviceInfoViewModel, CollectsAtOnceThenOnEveryTickUntilStopped) {
    SensorFixture fixture;
    fixture.writeMemInfo(1'048'576, 524'288);
    const auto model = viewModelFor(fixture, 20ms);
    QSignalSpy changed(model.get(), &DeviceInfoViewModel::deviceInfoChanged);
    QSignalSpy collecting(model.get(), &DeviceInfoViewModel::isCollectingChanged);
    EXPECT_TRUE(model->deviceInfo().memoryTotal.isEmpty());

    model->startAutoRefresh();
    EXPECT_TRUE(model->isAutoRefreshing());
    EXPECT_TRUE(model->isCollecting());
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(model->deviceInfo().memoryTotal, "1.00 GB");
    // The first round has ended (a start and an end were announced); on a busy machine the
    // 20 ms timer may already have begun the next one, so the state now proves nothing.
    EXPECT_GE(collecting.count(), 2);

    // A second start keeps the one timer; the next tick picks up the change.
    model->startAutoRefresh();
    fixture.writeMemInfo(2'097'152, 524'288);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return model->deviceInfo().memoryTotal == QStringLiteral("2.00 GB"); }, 5000));

    // After a stop only a collection already under way may still land.
    model->stopAutoRefresh();
    EXPECT_FALSE(model->isAutoRefreshing());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isCollecting(); }, 5000));
    fixture.writeMemInfo(4'194'304, 524'288);
    const int collections = collecting.count();
    QTest::qWait(100);
    EXPECT_EQ(collecting.count(), collections);
    EXPECT_EQ(model->deviceInfo().memoryTotal, "2.00 GB");

    // A manual refresh still works while stopped, and unchanged facts raise no change.
    model->refresh();
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(model->deviceInfo().memoryTotal, "4.00 GB");
    const int changes = changed.count();
    fixture.write("/proc/self/status", "VmRSS:\t 1024 kB\n");
    model->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isCollecting(); }, 5000));
    model->refresh();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !model->isCollecting(); }, 5000));
    EXPECT_EQ(changed.count(), changes + 1);
}

TEST(DeviceInfoViewModel, ClosingThePageMidCollectionIsSafe) {
    SensorFixture fixture;
    fixture.writeMemInfo(1'048'576, 524'288);
    for (int i = 0; i < 20; ++i) {
        auto model = viewModelFor(fixture, 1ms);
        model->startAutoRefresh();
        model.reset();
    }
    // The orphaned results arrive and find nobody.
    QTest::qWait(50);
    auto model = viewModelFor(fixture, 1000ms);
    QSignalSpy changed(model.get(), &DeviceInfoViewModel::deviceInfoChanged);
    model->startAutoRefresh();
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(model->deviceInfo().memoryTotal, "1.00 GB");
}

}  // namespace
}  // namespace corvanta::ui
