#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "platform/secret_store.h"

namespace corvanta::platform {

// Where the fallback secret file lives: the user's configuration directory
// ($XDG_CONFIG_HOME/Corvanta/secrets.json).
QString defaultSecretFilePath();

// The Secret Service when one answers; otherwise the fallback file at `fallbackPath`, announced
// once per process on the system log, until the Secret Service answers a retry
// (KeyringOrFileSecretStore, which also says what `signInAccounts` are for). Talks D-Bus: call
// it off the main thread.
std::unique_ptr<SecretStore> openSecretStore(const std::string& service,
                                             const QString& fallbackPath,
                                             std::vector<std::string> signInAccounts = {});

}  // namespace corvanta::platform
