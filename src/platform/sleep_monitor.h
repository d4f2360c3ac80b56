#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>

namespace corvanta::platform {

// logind's PrepareForSleep signal on the system bus: the machine is about to sleep, or has woken
// up. While awake it holds a logind "delay" lock on sleep, so that the machine waits (a few
// seconds at most, as logind allows) until allowSleep() says the engine has wound down. Without a
// system bus it does nothing and says so once in the system log.
class SleepMonitor : public QObject {
    Q_OBJECT

public:
    explicit SleepMonitor(QDBusConnection bus, QObject* parent = nullptr);

    bool isListening() const { return listening_; }
    // Whether the delay lock is held (logind granted one and sleep has not been allowed since).
    bool holdsDelayLock() const { return delayLock_.isValid(); }

    // After aboutToSleep(): the work that had to end before the sleep has ended; the machine may
    // go. Nothing when no lock is held.
    void allowSleep();

signals:
    void aboutToSleep();
    void wokeUp();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    void takeDelayLock();

    QDBusConnection bus_;
    bool listening_ = false;
    // Closing the descriptor gives the lock back.
    QDBusUnixFileDescriptor delayLock_;
};

}  // namespace corvanta::platform
