#include "platform/sleep_monitor.h"

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
    }
}

void SleepMonitor::prepareForSleep(bool sleeping) {
    if (sleeping) {
        emit aboutToSleep();
    } else {
        emit wokeUp();
    }
}

}  // namespace corvanta::platform
