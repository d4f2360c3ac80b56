#pragma once

#include <QCoroTask>
#include <QMargins>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

#include "ui/connection_status.h"
#include "ui/logout_button_model.h"
#include "ui/window_module.h"

class QNetworkAccessManager;
class QWindow;

namespace corvanta::backend {
class AuthRepository;
}
namespace corvanta::guard {
class SystemMonitorService;
}
namespace corvanta::log {
class LogBufferService;
}
namespace corvanta::tasks {
class TaskOrchestrator;
}
namespace corvanta::update {
class AppUpdateManager;
}

namespace corvanta::ui {

// The window's content: login page or main view, the module switcher, the connection indicator,
// the theme, and the services that run while the user is signed in. Main thread only.
class AppShellViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(int contentWidth READ contentWidth NOTIFY contentSizeChanged)
    Q_PROPERTY(int contentHeight READ contentHeight NOTIFY contentSizeChanged)
    // The module switcher's buttons, in order, as {module, word}: the WindowModule and its word
    // (its title's key and its button's name).
    Q_PROPERTY(QVariantList modules READ moduleButtons CONSTANT)
    Q_PROPERTY(corvanta::ui::window_module::Module selectedModule READ selectedModule WRITE
                   setSelectedModule NOTIFY selectedModuleChanged)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(QString connectionColor READ connectionColor NOTIFY connectionStatusChanged)
    Q_PROPERTY(QString connectionText READ connectionText NOTIFY connectionTextChanged)
    Q_PROPERTY(bool isDark READ isDark NOTIFY isDarkChanged)
    Q_PROPERTY(QString headingFont READ headingFont CONSTANT)
    Q_PROPERTY(QObject* logout READ logout CONSTANT)

public:
    // What the shell drives and watches; owned by the composition root, outliving the shell.
    struct Services {
        backend::AuthRepository& auth;
        tasks::TaskOrchestrator& orchestrator;
        update::AppUpdateManager& updates;
        guard::SystemMonitorService& monitor;
        log::LogBufferService& runLog;
        // Every backend transfer ends here; the connection indicator listens.
        QNetworkAccessManager& network;
        // Reads the stored sign-in once; restoring the sign-in awaits it first.
        std::function<QCoro::Task<>()> loadStoredSignIn;
    };

    // `theme`: the "app_theme" setting.
    AppShellViewModel(Services services, const QString& theme, QString headingFont,
                      bool systemIsDark, QObject* parent = nullptr);

    // 520 × 420 for the login page alone, 1280 × 720 for the main view or the update prompt.
    static QSize contentSizeFor(bool signedIn, bool updatePending);
    // The window's content rectangle for `content` on a screen whose free area (without panels)
    // is `available`, the window's frame taking `frame` around it: the content size cut down to
    // what fits the free area with its frame (the pages then scroll), centred in that area.
    static QRect windowGeometryFor(QSize content, QRect available, QMargins frame);
    // The same for the current content on the window's own screen, with its own frame.
    Q_INVOKABLE QRect fittedWindowGeometry(QWindow* window) const;
    // "theme_dark", "theme_light" (also anything unknown), or "theme_system" following the
    // desktop.
    static bool isDarkTheme(const QString& theme, bool systemIsDark);

    bool isAuthenticated() const;
    int contentWidth() const { return contentSize().width(); }
    int contentHeight() const { return contentSize().height(); }
    QVariantList moduleButtons() const;
    WindowModule selectedModule() const { return selectedModule_; }
    void setSelectedModule(WindowModule module);
    // The indicator's status (also its label's key) and the theme colour of its dot.
    const QString& connectionStatus() const { return connectionStatus_; }
    QString connectionColor() const { return connectionStatusColor(connectionStatus_); }
    // The indicator's label: the status's text, with the restart's countdown while there is one.
    QString connectionText() const;
    bool isDark() const { return isDark_; }
    // The desktop's appearance, followed while the theme is "theme_system".
    void setSystemIsDark(bool systemIsDark);
    const QString& headingFont() const { return headingFont_; }
    QObject* logout() { return &logout_; }

    // The text for a key of the string table.
    Q_INVOKABLE QString text(const QString& key) const;

    // The window's content appeared: starts the update checks and restores the sign-in (once).
    Q_INVOKABLE void windowShown();
    // The application is about to quit: engine, key, system monitor, update timer, in order.
    void shutdown();

signals:
    void isAuthenticatedChanged();
    void contentSizeChanged();
    void selectedModuleChanged();
    void connectionStatusChanged();
    void connectionTextChanged();
    void isDarkChanged();

private:
    QSize contentSize() const;
    void authenticationChanged(bool changed);
    void releaseEngine();
    void updateConnectionStatus();

    backend::AuthRepository& auth_;
    tasks::TaskOrchestrator& orchestrator_;
    update::AppUpdateManager& updates_;
    guard::SystemMonitorService& monitor_;
    log::LogBufferService& runLog_;
    std::function<QCoro::Task<>()> loadStoredSignIn_;
    QString headingFont_;
    QString theme_;
    bool isDark_ = false;
    LogoutButtonModel logout_;
    WindowModule selectedModule_ = WindowModule::Dashboard;
    QString connectionStatus_ = QStringLiteral("status_signed_out");
    LastBackendReply lastReply_ = LastBackendReply::none;
    bool didAttemptSessionRestore_ = false;
    bool didStartAuthenticatedServices_ = false;
};

}  // namespace corvanta::ui
