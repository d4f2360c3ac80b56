#pragma once

#include <QObject>
#include <QQmlApplicationEngine>

#include <memory>

#include "ui/desktop_services.h"

class QQuickWindow;

namespace corvanta::backend {
class IndexRepository;
class PageRepository;
}  // namespace corvanta::backend
namespace corvanta::platform {
class LaunchAtLoginService;
}

namespace corvanta::ui {

class AppShellViewModel;
class ResponsiveLayout;
class DashboardViewModel;
class DesktopColorScheme;
class DeviceInfoViewModel;
class KeyLoginViewModel;
class LinkOpener;
class LocalOnlyNetworkAccessFactory;
class PageContentViewModel;
class ProfileViewModel;
class RunLogViewModel;
class SvgImageCache;
class TrayViewModel;
class UpdatePromptViewModel;

// The window's side of the composition root: builds the window's own services (content
// repositories, icon cache, launch at login) and the view models over them and the
// application's, hands each page its models as context objects, and loads the window. Owned by
// main(); main thread only.
class DesktopApplication : public QObject {
    Q_OBJECT

public:
    // How the window program was started and what the desktop offers it.
    struct WindowStart {
        // The desktop has a tray and the window program has put its icon there.
        bool hasTray = false;
        // Launch at login asked for the tray only (TrayViewModel::kStartInTrayArgument).
        bool startInTray = false;
    };

    explicit DesktopApplication(DesktopServices services, QObject* parent = nullptr);
    DesktopApplication(DesktopServices services, WindowStart start, QObject* parent = nullptr);
    ~DesktopApplication() override;

    // Loads the window; false when the pages could not be built.
    bool load();
    QQuickWindow* window() const;
    // Brings the window to the front: shown, restored when minimised, raised and focused.
    void showWindow();
    QQmlApplicationEngine& engine() { return engine_; }

    AppShellViewModel& shell() { return *shell_; }
    KeyLoginViewModel& login() { return *login_; }
    RunLogViewModel& runLog() { return *runLog_; }
    ProfileViewModel& profile() { return *profile_; }
    DashboardViewModel& dashboard() { return *dashboard_; }
    TrayViewModel& tray() { return *tray_; }

    // The quit sequence; also runs on QCoreApplication::aboutToQuit.
    void shutdown();

private:
    std::unique_ptr<backend::PageRepository> pages_;
    std::unique_ptr<backend::IndexRepository> index_;
    std::unique_ptr<platform::LaunchAtLoginService> launchAtLogin_;
    std::unique_ptr<ResponsiveLayout> layout_;
    std::unique_ptr<AppShellViewModel> shell_;
    // The desktop's light or dark switch, followed while the window is open.
    std::unique_ptr<DesktopColorScheme> colorScheme_;
    std::unique_ptr<KeyLoginViewModel> login_;
    std::unique_ptr<RunLogViewModel> runLog_;
    std::unique_ptr<DeviceInfoViewModel> deviceInfo_;
    std::unique_ptr<ProfileViewModel> profile_;
    std::unique_ptr<PageContentViewModel> page_;
    std::unique_ptr<UpdatePromptViewModel> updatePrompt_;
    std::unique_ptr<DashboardViewModel> dashboard_;
    std::unique_ptr<TrayViewModel> tray_;
    // The model icons' cache, every SvgIcon's in the pages (`svgImages`).
    std::unique_ptr<SvgImageCache> svgImages_;
    std::unique_ptr<LinkOpener> links_;
    // Before the engine, so it outlives every manager the engine made with it.
    std::unique_ptr<LocalOnlyNetworkAccessFactory> networkAccess_;
    bool isShutDown_ = false;
    // Last, so it goes first: the pages let go of the view models before those are destroyed.
    QQmlApplicationEngine engine_;
};

}  // namespace corvanta::ui
