#pragma once

#include <QSettings>
#include <QString>
#include <optional>

#include "backend/token_manager.h"

namespace corvanta::backend {

// The user's key is a secret: it lives in the secret store beside the token, under
// "corvanta_key.current", and is read from the token manager's cache. Older versions kept it
// under "device_api_key.current" or "device_api_key." + SHA-256(identity); those are moved to
// the current name on first read. Older versions also kept all three in the settings file: the
// token manager's first load moves them into the secret store (settingsKeyEntries).

// The stored key, trimmed; nothing when none or only blanks are stored.
std::optional<QString> loadStoredKey(TokenManager& secrets);
// As above, after moving a key stored under the identity's legacy name.
std::optional<QString> loadStoredKey(const QString& identity, TokenManager& secrets);
// Stores the trimmed key; a blank key changes nothing (the stored key stays).
void saveStoredKey(const QString& key, TokenManager& secrets);

// "device_api_key." + the lower-case hex SHA-256 of the identity's UTF-8 bytes.
QString legacyKeyName(const QString& identity);

// The key entries an older version left in `settings`, as legacy secrets for the token manager:
// read from the settings, and removed there (the file rewritten) once the secret store holds
// them. `settings` must outlive the token manager.
LegacySecrets settingsKeyEntries(QSettings& settings);

// The key as logs and pages show it: every character but the last four as a bullet; a key of
// four characters or fewer as bullets only.
QString maskedKey(const QString& key);

}  // namespace corvanta::backend
