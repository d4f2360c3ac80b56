#include "platform/service_manager_notifier.h"

#include <systemd/sd-daemon.h>

#include <cstdint>

namespace corvanta::platform {

ServiceManagerNotifier::ServiceManagerNotifier()
    : supervised_(!qEnvironmentVariableIsEmpty("NOTIFY_SOCKET")) {
    // Checks WATCHDOG_PID against this process, so that a child that inherited the variables
    // does not ping on its parent's behalf. The variables stay set: nothing this process starts
    // is a service of its own.
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        watchdog_ = std::chrono::microseconds(usec);
    }
}

bool ServiceManagerNotifier::notify(const QByteArray& assignments) const {
    if (!supervised_) {
        return false;
    }
    return sd_notify(0, assignments.constData()) > 0;
}

}  // namespace corvanta::platform
