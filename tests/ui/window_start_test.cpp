// The window does not wait for OpenCL: with PoCL present it is shown, and draws its first frame,
// while the engine's GPU program is still being built (held back here for as long as the test
// likes, so the outcome does not depend on the compiler's speed).
#include <gtest/gtest.h>

#include <QDir>
#include <QQuickWindow>

#include <atomic>
#include <future>
#include <memory>

#include "app/app_dependency.h"
#include "app/window_services.h"
#include "support/coro_test_util.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using testing::processEventsUntil;

TEST(WindowStart, TheWindowIsShownBeforeTheGpuProgramIsBuilt) {
    // PoCL's CPU device counts as the GPU; its own compiler cache lives in the build tree.
    qputenv("CORVANTA_OPENCL_DEVICE", "any");
    qputenv("POCL_CACHE_DIR", CORVANTA_POCL_CACHE_DIR);
    auto release = std::make_shared<std::promise<void>>();
    auto released = release->get_future().share();
    auto held = std::make_shared<std::atomic<bool>>(false);
    engine::ComputeEngine::Options options;
    options.beforeGpuBuild = [released, held] {
        held->store(true);
        released.wait();
    };
    app::AppDependency::Options rootOptions;
    rootOptions.engine = options;
    app::AppDependency deps(rootOptions);
    // Released on every way out, before the root goes, so that the engine's destructor never
    // waits for ever.
    const std::unique_ptr<std::promise<void>, void (*)(std::promise<void>*)> releaseOnExit(
        release.get(), [](std::promise<void>* gate) {
            try {
                gate->set_value();
            } catch (const std::future_error&) {
                // released already
            }
        });

    migrateLanguageToEnglish(deps.settings());
    DesktopApplication desktop(app::windowServices(deps));
    ASSERT_TRUE(desktop.load());
    QQuickWindow* window = desktop.window();
    ASSERT_NE(window, nullptr);
    bool drawn = false;
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [&drawn] { drawn = true; });
    ASSERT_TRUE(processEventsUntil([&] { return drawn; }, 30s));
    EXPECT_TRUE(window->isVisible());

    // The window is up; the engine found PoCL and its build is still held.
    engine::ComputeEngine& engine = deps.computeEngine();
    ASSERT_TRUE(processEventsUntil([&] { return held->load(); }, 30s));
    EXPECT_FALSE(engine.gpuSetUpDiagnostics().finished);

    releaseOnExit.get_deleter()(release.get());
    ASSERT_TRUE(processEventsUntil([&] { return engine.gpuSetUpDiagnostics().finished; }, 60s));
    const auto diagnostics = engine.gpuSetUpDiagnostics();
    EXPECT_EQ(diagnostics.programBuilds, 1);
    EXPECT_FALSE(diagnostics.programFromCache);
    EXPECT_TRUE(engine.gpuDeviceName().has_value());
    // The program went into the cache home for the next start.
    EXPECT_EQ(QDir(app::AppDependency::gpuProgramCacheDirectory())
                  .entryList({QStringLiteral("*.clbin")}, QDir::Files)
                  .size(),
              1);
}

}  // namespace
}  // namespace corvanta::ui
