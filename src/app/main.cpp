// corvanta: the windowed desktop client. `corvanta --tray` (how launch at login starts it) opens
// no window where the desktop has a tray, only the tray icon.
#include <QApplication>
#include <QIcon>
#include <QQuickStyle>
#include <QSystemTrayIcon>

#include <chrono>
#include <cstdio>
#include <memory>

#include "app/app_dependency.h"
#include "app/instance_handover.h"
#include "app/metrics_exporter.h"
#include "app/profile_lock.h"
#include "app/termination_signals.h"
#include "app/window_services.h"
#include "platform/string_table.h"
#include "ui/desktop_application.h"
#include "ui/language_migration.h"
#include "ui/tray_icon.h"
#include "ui/tray_view_model.h"
#include "update/bundle_app_version_provider.h"

int main(int argc, char** argv) {
    // The tray icon is a Qt Widgets object: the window program runs a QApplication.
    QApplication app(argc, argv);
    corvanta::app::AppDependency::applyApplicationNames();
    QApplication::setApplicationDisplayName(
        corvanta::platform::localized(QStringLiteral("app_name")));
    QApplication::setDesktopFileName(QStringLiteral("corvanta"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/corvanta.svg")));
    // The pages draw their own controls; Basic is the style that lets them.
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    // One client per profile, settled before anything of the profile is opened: a second start
    // brings the running window to the front and leaves.
    corvanta::app::ProfileLock profileLock;
    switch (profileLock.acquire()) {
        case corvanta::app::ProfileLock::Outcome::acquired:
            break;
        case corvanta::app::ProfileLock::Outcome::heldByOther:
            if (corvanta::app::InstanceHandover::askRunningWindowToShow(std::chrono::seconds(5))) {
                return 0;
            }
            std::fprintf(stderr,
                         "corvanta: another Corvanta client is already running on this profile "
                         "(pid %lld)\n",
                         static_cast<long long>(profileLock.holderPid()));
            return 4;
        case corvanta::app::ProfileLock::Outcome::unavailable:
            std::fprintf(stderr,
                         "corvanta: cannot create %s; running without the guard against a "
                         "second client on this profile\n",
                         profileLock.path().toUtf8().constData());
            break;
    }

    corvanta::app::AppDependency deps;
    corvanta::ui::migrateLanguageToEnglish(deps.settings());

    // Only a desktop with a tray keeps the client when its window is closed.
    const bool hasTray = QSystemTrayIcon::isSystemTrayAvailable();
    const bool startInTray = QCoreApplication::arguments().contains(
        QLatin1String(corvanta::ui::TrayViewModel::kStartInTrayArgument));
    corvanta::ui::DesktopApplication window(corvanta::app::windowServices(deps),
                                            {.hasTray = hasTray, .startInTray = startInTray});
    std::unique_ptr<corvanta::ui::TrayIcon> trayIcon;
    if (hasTray) {
        trayIcon = std::make_unique<corvanta::ui::TrayIcon>(window.tray());
        trayIcon->show();
        // A hidden window is not the last one closed: the tray's Quit ends the program.
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&window.tray(), &corvanta::ui::TrayViewModel::quitRequested, &app,
                         &QCoreApplication::quit, Qt::QueuedConnection);
    }
    if (!window.load()) {
        std::fprintf(stderr, "corvanta: the window could not be built\n");
        return 1;
    }
    // The window serves the same metrics as the headless client when asked to; an address it
    // cannot serve is reported and the window runs on without them.
    std::unique_ptr<corvanta::app::MetricsExporter> metrics;
    if (const auto address = corvanta::app::MetricsExporter::addressFromEnvironment()) {
        try {
            metrics = std::make_unique<corvanta::app::MetricsExporter>(
                *address, deps.engineCounters(), deps.pressureController(),
                corvanta::update::BundleAppVersionProvider().currentVersion());
            metrics->follow(deps.orchestrator());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "corvanta: %s\n", error.what());
        }
    }
    corvanta::app::InstanceHandover handover;
    handover.listen([&window] { window.showWindow(); });

    // SIGINT/SIGTERM quit like closing the window: the engine stops and its progress is kept.
    corvanta::app::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &corvanta::app::TerminationSignals::received, &app,
                     [] { QCoreApplication::quit(); });
    const int code = QApplication::exec();
    trayIcon.reset();
    deps.windDown();
    return code;
}
