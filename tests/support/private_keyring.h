#pragma once

#include <QString>

#include <memory>

#include "support/child_process.h"
#include "support/private_session_bus.h"

namespace corvanta::testing {

// A D-Bus session bus of the test's own on a socket in `directory`, with an unlocked
// gnome-keyring serving the Secret Service on it; both end with this object. The bus activates
// nothing, so no other keyring can start in its place. The keyring keeps its files under
// `directory` as well.
class PrivateKeyring {
public:
    explicit PrivateKeyring(const QString& directory);
    ~PrivateKeyring();

    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

    // The bus address a client puts in DBUS_SESSION_BUS_ADDRESS. Fixed by the directory, so a
    // client can be told it before the bus is up.
    static QString addressFor(const QString& directory);
    QString address() const { return addressFor(directory_); }

    // Waits until the Secret Service answers on the bus; false after `seconds`.
    bool waitUntilServing(int seconds = 20) const;

private:
    QString directory_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<ChildProcess> keyring_;
};

}  // namespace corvanta::testing
