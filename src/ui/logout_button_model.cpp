#include "ui/logout_button_model.h"

namespace corvanta::ui {

LogoutButtonModel::LogoutButtonModel(std::function<void()> signOut, QObject* parent,
                                     std::chrono::milliseconds disarmDelay)
    : QObject(parent), signOut_(std::move(signOut)) {
    disarmTimer_.setSingleShot(true);
    disarmTimer_.setInterval(disarmDelay);
    connect(&disarmTimer_, &QTimer::timeout, this, [this] { setArmed(false); });
}

void LogoutButtonModel::click() {
    if (!armed_) {
        setArmed(true);
        // Restarting replaces a pending disarm.
        disarmTimer_.start();
        return;
    }
    disarm();
    signOut_();
}

void LogoutButtonModel::disarm() {
    disarmTimer_.stop();
    setArmed(false);
}

void LogoutButtonModel::setArmed(bool armed) {
    if (armed != armed_) {
        armed_ = armed;
        emit armedChanged();
    }
}

}  // namespace corvanta::ui
