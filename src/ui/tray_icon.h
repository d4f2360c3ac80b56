#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

namespace corvanta::ui {

class TrayViewModel;

// The icon in the desktop's tray, drawn from a TrayViewModel: the state picture, the tooltip, and
// the Open Corvanta / Pause-Resume / Quit menu, whose items call the model. A click on the icon
// opens the window. Needs a QApplication; built only where the desktop has a tray. Main thread
// only.
class TrayIcon : public QObject {
    Q_OBJECT

public:
    explicit TrayIcon(TrayViewModel& model, QObject* parent = nullptr);

    // Puts the icon into the tray.
    void show() { icon_.show(); }
    QSystemTrayIcon& icon() { return icon_; }
    QMenu& menu() { return menu_; }
    QAction& openAction() { return *open_; }
    QAction& pauseResumeAction() { return *pauseResume_; }
    QAction& quitAction() { return *quit_; }

private:
    void refresh();

    TrayViewModel& model_;
    QMenu menu_;
    QAction* open_;
    QAction* pauseResume_;
    QAction* quit_;
    QString shownIcon_;
    QSystemTrayIcon icon_;
};

}  // namespace corvanta::ui
