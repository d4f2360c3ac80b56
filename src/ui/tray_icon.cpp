#include "ui/tray_icon.h"

#include <QIcon>

#include "platform/string_table.h"
#include "ui/tray_view_model.h"

namespace corvanta::ui {

using platform::localized;

TrayIcon::TrayIcon(TrayViewModel& model, QObject* parent) : QObject(parent), model_(model) {
    // The menu owns its actions.
    open_ = menu_.addAction(localized(QStringLiteral("tray_open")));
    pauseResume_ = menu_.addAction(model_.pauseResumeText());
    menu_.addSeparator();
    quit_ = menu_.addAction(localized(QStringLiteral("tray_quit")));
    connect(open_, &QAction::triggered, &model_, &TrayViewModel::openWindow);
    connect(pauseResume_, &QAction::triggered, &model_, &TrayViewModel::pauseOrResume);
    connect(quit_, &QAction::triggered, &model_, &TrayViewModel::quit);
    icon_.setContextMenu(&menu_);
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    model_.openWindow();
                }
            });
    connect(&model_, &TrayViewModel::changed, this, &TrayIcon::refresh);
    connect(&model_, &TrayViewModel::notificationRequested, this,
            [this](const QString& title, const QString& message) {
                icon_.showMessage(title, message, icon_.icon());
            });
    refresh();
}

void TrayIcon::refresh() {
    // The tooltip moves on every second while the engine runs; the picture only with the state.
    if (model_.iconSource() != shownIcon_) {
        shownIcon_ = model_.iconSource();
        icon_.setIcon(QIcon(shownIcon_));
    }
    icon_.setToolTip(model_.toolTip());
    pauseResume_->setText(model_.pauseResumeText());
    pauseResume_->setEnabled(model_.canPauseResume());
}

}  // namespace corvanta::ui
