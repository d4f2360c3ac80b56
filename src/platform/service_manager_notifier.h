#pragma once

#include <QByteArray>

#include <chrono>
#include <optional>

namespace corvanta::platform {

// The service manager that started this process, when it asked to be told how the start went
// (systemd's Type=notify): it names its socket in NOTIFY_SOCKET. Messages go through libsystemd's
// sd_notify; without a socket they are dropped, so callers need not check first.
class ServiceManagerNotifier {
public:
    ServiceManagerNotifier();

    // A manager listens.
    bool isSupervised() const { return supervised_; }
    // How often the manager wants to hear WATCHDOG=1 at the latest (WATCHDOG_USEC, when it is
    // meant for this process); none when it asks for no watchdog.
    std::optional<std::chrono::microseconds> watchdogInterval() const { return watchdog_; }

    // Sends newline-separated assignments ("READY=1\nSTATUS=running"). False when no manager
    // listens or the message could not be sent.
    bool notify(const QByteArray& assignments) const;

private:
    bool supervised_ = false;
    std::optional<std::chrono::microseconds> watchdog_;
};

}  // namespace corvanta::platform
