#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <memory>

#include "backend/api_client.h"
#include "backend/device_repository.h"
#include "backend/token_manager.h"
#include "log/log_buffer_service.h"
#include "platform/memory_secret_store.h"
#include "tasks/task_orchestrator.h"
#include "tasks/task_scheduler.h"
#include "tasks/validation_coordinator.h"
#include "ui/run_log_view_model.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;

// The page's services: a run log in memory that hands lines over every 40 ms, and an engine
// that is never started.
class RunLogViewModelTest : public ::testing::Test {
protected:
    RunLogViewModelTest() {
        tasks::TaskSchedulerDependencies schedulerDeps;
        schedulerDeps.coordinator = &coordinator_;
        scheduler_ = std::make_unique<tasks::TaskScheduler>(std::move(schedulerDeps));
        tasks::TaskOrchestratorDependencies deps;
        deps.scheduler = scheduler_.get();
        deps.coordinator = &coordinator_;
        deps.devices = &devices_;
        deps.verifySignIn = []() -> QCoro::Task<bool> { co_return false; };
        orchestrator_ = std::make_unique<tasks::TaskOrchestrator>(std::move(deps));
        model_ = std::make_unique<RunLogViewModel>(logs_, *orchestrator_);
    }

    void appendLines(int count, const QString& text) {
        for (int i = 0; i < count; ++i) {
            logs_.append(QStringLiteral("1"), QStringLiteral("CPU"), text);
        }
    }
    int rows() { return static_cast<QAbstractItemModel*>(model_->lines())->rowCount(); }

    log::LogBufferService logs_{QString(), 1 << 30, 10, {}, 40ms};
    backend::TokenManager tokens_{[] { return std::make_shared<platform::MemorySecretStore>(); }};
    backend::ApiClient client_{tokens_};
    backend::DeviceRepository devices_{client_};
    tasks::ValidationCoordinator coordinator_;
    std::unique_ptr<tasks::TaskScheduler> scheduler_;
    std::unique_ptr<tasks::TaskOrchestrator> orchestrator_;
    std::unique_ptr<RunLogViewModel> model_;
};

TEST_F(RunLogViewModelTest, FollowsTheEndOrCountsWhatArrivesWhileTheUserReadsElsewhere) {
    QSignalSpy appended(&logs_, &log::LogBufferService::logLinesAppended);
    QSignalSpy hidden(model_.get(), &RunLogViewModel::hiddenNewLineCountChanged);
    QSignalSpy tag(model_.get(), &RunLogViewModel::scrollToBottomTagChanged);

    // At the end: each batch moves the view to the end.
    appendLines(199, QStringLiteral("batched"));
    ASSERT_TRUE(appended.wait(5000));
    EXPECT_EQ(rows(), 199);
    EXPECT_EQ(model_->scrollToBottomTag(), 1);
    appendLines(200, QStringLiteral("at once"));
    EXPECT_EQ(rows(), 399);
    EXPECT_EQ(model_->scrollToBottomTag(), 2);
    EXPECT_EQ(model_->hiddenNewLineCount(), 0);
    EXPECT_EQ(hidden.count(), 0);

    // Scrolled up: new lines are counted for the badge and the view stays where it is.
    EXPECT_FALSE(model_->reportScroll(0, 400, 4000));
    EXPECT_FALSE(model_->isTailPinned());
    appendLines(5, QStringLiteral("while away"));
    ASSERT_TRUE(appended.wait(5000));
    EXPECT_EQ(model_->hiddenNewLineCount(), 5);
    EXPECT_EQ(model_->badgeText(), QStringLiteral("5 new logs"));
    EXPECT_EQ(model_->scrollToBottomTag(), 2);

    // The badge leads back: what is still pending comes at once (counted as hidden first), then
    // the count clears and the view goes to the end.
    appendLines(2, QStringLiteral("still away"));
    model_->jumpToEnd();
    EXPECT_TRUE(model_->isTailPinned());
    EXPECT_EQ(rows(), 406);
    EXPECT_EQ(model_->hiddenNewLineCount(), 0);
    EXPECT_EQ(model_->scrollToBottomTag(), 3);
    ASSERT_GE(hidden.count(), 3);
    EXPECT_EQ(tag.count(), 3);
    model_->jumpToEnd();
    EXPECT_EQ(model_->scrollToBottomTag(), 3);

    // Scrolling back down to the end by hand does the same.
    EXPECT_FALSE(model_->reportScroll(0, 400, 4000));
    appendLines(1, QStringLiteral("away again"));
    ASSERT_TRUE(appended.wait(5000));
    EXPECT_EQ(model_->hiddenNewLineCount(), 1);
    EXPECT_TRUE(model_->reportScroll(3590, 400, 4000));
    EXPECT_EQ(model_->hiddenNewLineCount(), 0);
    EXPECT_EQ(model_->scrollToBottomTag(), 4);
}

}  // namespace
}  // namespace corvanta::ui
