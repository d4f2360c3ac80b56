#include "ui/desktop_application.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPalette>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQuickWindow>
#include <QSettings>

#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/index_repository.h"
#include "backend/key_store.h"
#include "backend/page_repository.h"
#include "backend/token_manager.h"
#include "log/log_buffer_service.h"
#include "log/log_tag.h"
#include "platform/launch_at_login_service.h"
#include "tasks/engine_power_policy.h"
#include "tasks/task_orchestrator.h"
#include "ui/app_shell_view_model.h"
#include "ui/dashboard_view_model.h"
#include "ui/desktop_color_scheme.h"
#include "ui/device_info_view_model.h"
#include "ui/heading_font.h"
#include "ui/key_login_view_model.h"
#include "ui/link_opener.h"
#include "ui/local_only_network_access_factory.h"
#include "ui/page_content_view_model.h"
#include "ui/profile_view_model.h"
#include "ui/responsive_layout.h"
#include "ui/run_log_view_model.h"
#include "ui/svg_image_cache.h"
#include "ui/svg_image_disk_cache_store.h"
#include "ui/tray_view_model.h"
#include "ui/update_prompt_view_model.h"
#include "update/app_update_manager.h"
#include "update/bundle_app_version_provider.h"

// Generated with the Corvanta.Ui QML module. Nothing else names it, so a static link would drop
// the module's C++ types (SvgIcon) unless the window calls it.
void qml_register_types_Corvanta_Ui();

namespace corvanta::ui {

DesktopApplication::DesktopApplication(DesktopServices services, QObject* parent)
    : DesktopApplication(std::move(services), WindowStart{}, parent) {}

DesktopApplication::DesktopApplication(DesktopServices services, WindowStart start, QObject* parent)
    : QObject(parent) {
    const QString version = update::BundleAppVersionProvider().currentVersion();
    auto loginWithKey = [load = services.loadStoredSignIn,
                         &auth = services.auth](QString key) -> QCoro::Task<> {
        // The login page can be used before the stored sign-in has been read.
        co_await load();
        co_await auth.login(std::move(key));
    };
    const bool systemIsDark = QGuiApplication::palette().color(QPalette::Window).lightness() < 128;

    pages_ = std::make_unique<backend::PageRepository>(services.api);
    index_ = std::make_unique<backend::IndexRepository>(services.api);
    launchAtLogin_ = std::make_unique<platform::LaunchAtLoginService>();
    try {
        // An entry from an earlier version would open the window at login.
        launchAtLogin_->refreshEntry();
    } catch (const std::exception&) {
        // Left as it was: it still starts the client, only with its window.
    }
    layout_ = std::make_unique<ResponsiveLayout>();
    shell_ = std::make_unique<AppShellViewModel>(
        AppShellViewModel::Services{services.auth, services.orchestrator, services.updates,
                                    services.monitor, services.runLog, services.api.network(),
                                    services.loadStoredSignIn},
        services.settings.value(QStringLiteral("app_theme"), QStringLiteral("theme_light"))
            .toString(),
        registerHeadingFont(), systemIsDark);
    colorScheme_ = std::make_unique<DesktopColorScheme>();
    connect(colorScheme_.get(), &DesktopColorScheme::prefersDarkChanged, this, [this] {
        if (const auto dark = colorScheme_->prefersDark()) {
            shell_->setSystemIsDark(*dark);
        }
    });
    login_ = std::make_unique<KeyLoginViewModel>(loginWithKey);
    runLog_ = std::make_unique<RunLogViewModel>(services.runLog, services.orchestrator);
    deviceInfo_ = std::make_unique<DeviceInfoViewModel>();
    profile_ = std::make_unique<ProfileViewModel>(
        loginWithKey,
        [&tokens = services.tokens, &orchestrator = services.orchestrator,
         &runLog = services.runLog](const QString& key) {
            backend::saveStoredKey(key, tokens);
            orchestrator.stop();
            orchestrator.setCorvantaKey(QString());
            orchestrator.setDeviceId(0);
            runLog.append(QStringLiteral("?"), log::logTag(log::LogCategory::auth),
                          QStringLiteral("key released"));
        },
        *launchAtLogin_, &services.updates,
        [&tokens = services.tokens] { return backend::loadStoredKey(tokens).value_or(QString()); },
        version);
    page_ = std::make_unique<PageContentViewModel>(*pages_);
    updatePrompt_ = std::make_unique<UpdatePromptViewModel>(services.updates, version);
    dashboard_ = std::make_unique<DashboardViewModel>(*index_, *layout_);
    tray_ = std::make_unique<TrayViewModel>(
        TrayViewModel::Services{services.orchestrator, services.auth, services.settings,
                                [runLog = runLog_.get()] { runLog->pressButton(); }},
        start.hasTray, start.startInTray);
    connect(tray_.get(), &TrayViewModel::openWindowRequested, this,
            &DesktopApplication::showWindow);
    svgImages_ = std::make_unique<SvgImageCache>(std::make_shared<SvgImageDiskCacheStore>(),
                                                 &services.api.network());

    // Nothing the pages show may fetch anything on its own.
    networkAccess_ = std::make_unique<LocalOnlyNetworkAccessFactory>();
    engine_.setNetworkAccessManagerFactory(networkAccess_.get());
    links_ = std::make_unique<LinkOpener>();

    // Pages reach the module's C++ types (SvgIcon) with `import Corvanta.Ui`.
    qml_register_types_Corvanta_Ui();
    engine_.addImportPath(QStringLiteral("qrc:/"));
    QQmlContext* context = engine_.rootContext();
    context->setContextProperty(QStringLiteral("layout"), layout_.get());
    context->setContextProperty(QStringLiteral("shell"), shell_.get());
    context->setContextProperty(QStringLiteral("loginModel"), login_.get());
    context->setContextProperty(QStringLiteral("runLog"), runLog_.get());
    context->setContextProperty(QStringLiteral("deviceInfo"), deviceInfo_.get());
    context->setContextProperty(QStringLiteral("profile"), profile_.get());
    context->setContextProperty(QStringLiteral("power"), &services.power);
    context->setContextProperty(QStringLiteral("pageContent"), page_.get());
    context->setContextProperty(QStringLiteral("updatePrompt"), updatePrompt_.get());
    context->setContextProperty(QStringLiteral("dashboard"), dashboard_.get());
    context->setContextProperty(QStringLiteral("tray"), tray_.get());
    context->setContextProperty(QStringLiteral("links"), links_.get());
    context->setContextProperty(QStringLiteral("svgImages"), svgImages_.get());

    // The colours every page reads; built here so that it is there before the first page.
    QQmlComponent themeComponent(&engine_, QUrl(QStringLiteral("qrc:/Corvanta/Ui/qml/Theme.qml")));
    QObject* theme = themeComponent.create();
    if (theme) {
        theme->setParent(&engine_);
    }
    context->setContextProperty(QStringLiteral("theme"), theme);

    connect(qApp, &QCoreApplication::aboutToQuit, this, &DesktopApplication::shutdown);
}

DesktopApplication::~DesktopApplication() = default;

bool DesktopApplication::load() {
    engine_.load(QUrl(QStringLiteral("qrc:/Corvanta/Ui/qml/Main.qml")));
    return window() != nullptr;
}

QQuickWindow* DesktopApplication::window() const {
    const auto roots = engine_.rootObjects();
    return roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
}

void DesktopApplication::showWindow() {
    QQuickWindow* shown = window();
    if (!shown) {
        return;
    }
    if (shown->visibility() == QWindow::Minimized) {
        shown->showNormal();
    } else {
        shown->show();
    }
    shown->raise();
    shown->requestActivate();
}

void DesktopApplication::shutdown() {
    if (isShutDown_) {
        return;
    }
    isShutDown_ = true;
    deviceInfo_->stopAutoRefresh();
    shell_->shutdown();
}

}  // namespace corvanta::ui
