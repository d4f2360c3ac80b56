// The window on a screen smaller than its design: main() gives this executable one 1200 × 660
// offscreen screen, below the main view's 1280 × 720.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "tasks/task_orchestrator.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using testing::DevServerProcess;
using testing::processEventsFor;
using testing::processEventsUntil;

bool isShown(QObject* object) {
    auto* item = qobject_cast<QQuickItem*>(object);
    return item && item->isVisible() && item->width() > 0 && item->height() > 0;
}

// The first shown item of that name among the visual children of `root`.
QQuickItem* findShown(QQuickItem* root, const QString& name) {
    if (root == nullptr) {
        return nullptr;
    }
    if (root->objectName() == name && isShown(root)) {
        return root;
    }
    for (QQuickItem* child : root->childItems()) {
        if (QQuickItem* found = findShown(child, name)) {
            return found;
        }
    }
    return nullptr;
}

TEST(SmallScreen, TheWindowFitsTheFreeAreaAndThePagesScroll) {
    DevServerProcess server;
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    app::AppDependency deps;
    migrateLanguageToEnglish(deps.settings());
    DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    QQuickWindow* window = desktop.window();
    QQuickItem* root = window->contentItem();
    const QRect available = window->screen()->availableGeometry();
    ASSERT_EQ(available, QRect(0, 0, 1200, 660));

    // Signed out: the login page fits, at its own size.
    ASSERT_TRUE(processEventsUntil([&] { return findShown(root, "loginPage") != nullptr; }, 20s));
    processEventsFor(100ms);
    EXPECT_EQ(window->size(), QSize(520, 420));
    EXPECT_TRUE(available.contains(window->frameGeometry())) << window->frameGeometry().x();

    // Signed in: the main view's 1280 × 720 does not fit; the window takes the free area.
    QQuickItem* keyField = findShown(root, "keyField");
    ASSERT_NE(keyField, nullptr);
    keyField->setProperty("text", server.demoKey());
    QMetaObject::invokeMethod(findShown(root, "connectButton"), "clicked");
    ASSERT_TRUE(processEventsUntil([&] { return findShown(root, "mainView") != nullptr; }, 20s));
    // The engine is not what this test looks at.
    ASSERT_TRUE(processEventsUntil([&] { return deps.orchestrator().isRunning(); }, 10s));
    deps.orchestrator().stop();
    processEventsFor(100ms);
    EXPECT_EQ(window->frameGeometry(), available);
    EXPECT_LT(window->width(), 1280);
    EXPECT_LT(window->height(), 720);
    EXPECT_EQ(window->minimumSize(), window->size());

    // The page keeps its design size and scrolls inside the window rather than being cut.
    QQuickItem* scroller = findShown(root, "pageScroller");
    ASSERT_NE(scroller, nullptr);
    EXPECT_EQ(scroller->property("contentWidth").toReal(), 1280);
    EXPECT_EQ(scroller->property("contentHeight").toReal(), 720);
    EXPECT_TRUE(scroller->property("interactive").toBool());
    QQuickItem* mainView = findShown(root, "mainView");
    ASSERT_NE(mainView, nullptr);
    EXPECT_EQ(mainView->size(), QSizeF(1280, 720));
    scroller->setProperty("contentY", 720 - scroller->height());
    processEventsFor(150ms);
    const QImage image = window->grabWindow();
    QDir().mkpath(QStringLiteral(CORVANTA_SCREENSHOT_DIR));
    EXPECT_TRUE(image.save(QStringLiteral(CORVANTA_SCREENSHOT_DIR "/small_screen.png")));

    desktop.shutdown();
    processEventsFor(300ms);
}

}  // namespace
}  // namespace corvanta::ui
