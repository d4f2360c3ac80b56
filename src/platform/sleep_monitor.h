#pragma once

#include <QDBusConnection>
#include <QObject>

namespace corvanta::platform {

// logind's PrepareForSleep signal on the system bus: the machine is about to sleep, or has woken
// up. Without a system bus it does nothing and says so once in the system log.
class SleepMonitor : public QObject {
    Q_OBJECT

public:
    explicit SleepMonitor(QDBusConnection bus, QObject* parent = nullptr);

    bool isListening() const { return listening_; }

signals:
    void aboutToSleep();
    void wokeUp();

private Q_SLOTS:
    void prepareForSleep(bool sleeping);

private:
    QDBusConnection bus_;
    bool listening_ = false;
};

}  // namespace corvanta::platform
