#include "platform/sleep_monitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include "platform/system_log.h"

namespace corvanta::platform {

SleepMonitor::SleepMonitor(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (bus_.isConnected()) {
        listening_ = bus_.connect(
            QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
            this, SLOT(prepareForSleep(bool)));
    }
    if (!listening_) {
        qCInfo(resourcesLog).noquote()
            << "no system bus; the engine is not paused when the machine sleeps";
        return;
    }
    takeDelayLock();
}

void SleepMonitor::takeDelayLock() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Corvanta")
         << QStringLiteral("Saving task progress") << QStringLiteral("delay");
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5'000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *finished;
                // Refused or unanswered: the engine still pauses, only without the wait.
                if (!reply.isError()) {
                    delayLock_ = reply.value();
                }
            });
}

void SleepMonitor::allowSleep() {
    delayLock_ = QDBusUnixFileDescriptor();
}

void SleepMonitor::prepareForSleep(bool sleeping) {
    if (sleeping) {
        emit aboutToSleep();
    } else {
        takeDelayLock();
        emit wokeUp();
    }
}

}  // namespace corvanta::platform
