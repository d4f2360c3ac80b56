#pragma once

#include <QObject>
#include <QString>

#include <functional>

#include "tasks/engine_state.h"

class QSettings;

namespace corvanta::backend {
class AuthRepository;
}
namespace corvanta::tasks {
class TaskOrchestrator;
}

namespace corvanta::ui {

// What the tray icon shows: the engine's state cut down to four pictures.
enum class TrayState { running, paused, stopped, restarting };

// The tray icon's content and actions, apart from the icon itself so that they can be driven
// where the desktop has no tray (tests run offscreen): the state picture, the tooltip with the
// rate and the current task, the Open / Pause-Resume / Quit menu, and what the window's close
// button does. The window program hands it to the tray icon and to the window. Main thread only.
class TrayViewModel : public QObject {
    Q_OBJECT
    // The window is not shown at start: launch at login asked for the tray, and there is one.
    Q_PROPERTY(bool startsHidden READ startsHidden CONSTANT)

public:
    // What the tray drives and watches; owned by the composition root, outliving the model.
    struct Services {
        tasks::TaskOrchestrator& orchestrator;
        backend::AuthRepository& auth;
        // Keeps whether the close notice has been shown.
        QSettings& settings;
        // Starts a paused or stopped engine the way the run log's button does.
        std::function<void()> resume;
    };

    // The setting that records the first close into the tray.
    static constexpr const char* kCloseNoticeShownKey = "tray_close_notice_shown";
    // The command-line switch launch at login starts the window program with.
    static constexpr const char* kStartInTrayArgument = "--tray";

    // `hasTray`: an icon is in the desktop's tray. `startInTray`: the program was started with
    // kStartInTrayArgument.
    TrayViewModel(Services services, bool hasTray, bool startInTray, QObject* parent = nullptr);

    bool hasTray() const { return hasTray_; }
    // Without a tray the window is the only way back in, so it is always shown.
    bool startsHidden() const { return startInTray_ && hasTray_; }

    static TrayState stateFor(bool isRunning, tasks::EngineState state);
    // The state's picture in the resources (":/icons/tray_running.svg", ...).
    static QString iconSourceFor(TrayState state);

    TrayState state() const { return state_; }
    QString iconSource() const { return iconSourceFor(state_); }
    // "Corvanta · Running" and, while a task is searched, "12.34M/s · task T4" below it.
    const QString& toolTip() const { return toolTip_; }
    // "Pause" while the engine runs or waits to restart, else "Resume".
    QString pauseResumeText() const;
    // Pause and Resume need a sign-in.
    bool canPauseResume() const;

    // The menu's actions.
    Q_INVOKABLE void openWindow();
    Q_INVOKABLE void pauseOrResume();
    Q_INVOKABLE void quit();

    // The window's close button was pressed: true when the window is to hide and leave the
    // engine running in the tray (there is one), false when closing quits. The first time it
    // hides, the tray says so in a notification.
    Q_INVOKABLE bool closeToTray();

signals:
    // State, picture, tooltip, or the Pause/Resume item changed.
    void changed();
    void openWindowRequested();
    void quitRequested();
    void notificationRequested(const QString& title, const QString& message);

private:
    void refresh();
    QString composeToolTip() const;

    tasks::TaskOrchestrator& orchestrator_;
    backend::AuthRepository& auth_;
    QSettings& settings_;
    std::function<void()> resume_;
    bool hasTray_;
    bool startInTray_;
    TrayState state_ = TrayState::stopped;
    QString toolTip_;
    bool canPauseResume_ = false;
};

}  // namespace corvanta::ui
