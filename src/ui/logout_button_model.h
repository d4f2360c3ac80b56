#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace corvanta::ui {

// The two-click log-out of the top bar: the first click arms the button, a second click within
// the disarm delay signs out. Main thread only.
class LogoutButtonModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool armed READ isArmed NOTIFY armedChanged)

public:
    static constexpr std::chrono::milliseconds kDisarmDelay{3000};

    LogoutButtonModel(std::function<void()> signOut, QObject* parent = nullptr,
                      std::chrono::milliseconds disarmDelay = kDisarmDelay);

    bool isArmed() const { return armed_; }
    Q_INVOKABLE void click();
    // Back to the unarmed look, e.g. when the window returns to the login page.
    Q_INVOKABLE void disarm();

signals:
    void armedChanged();

private:
    void setArmed(bool armed);

    std::function<void()> signOut_;
    QTimer disarmTimer_;
    bool armed_ = false;
};

}  // namespace corvanta::ui
