#pragma once

#include <QString>

#include <memory>

#include "support/child_process.h"

namespace corvanta::testing {

// A D-Bus session bus of the test's own on a socket in `directory` (which it creates, readable by
// the user only); it ends with this object. The bus activates nothing, so only the services the
// test starts answer on it.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const QString& directory);
    ~PrivateSessionBus();

    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // The bus address a client puts in DBUS_SESSION_BUS_ADDRESS. Fixed by the directory, so a
    // client can be told it before the bus is up.
    static QString addressFor(const QString& directory);
    QString address() const { return addressFor(directory_); }

private:
    QString directory_;
    std::unique_ptr<ChildProcess> bus_;
};

}  // namespace corvanta::testing
