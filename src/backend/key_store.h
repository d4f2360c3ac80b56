#pragma once

#include <QSettings>
#include <QString>
#include <optional>

namespace corvanta::backend {

// The user's key in the preferences store, under "corvanta_key.current". Older versions kept it
// under "device_api_key.current" or "device_api_key." + SHA-256(identity); those are moved on
// first read.

// The stored key, trimmed; nothing when none or only blanks are stored.
std::optional<QString> loadStoredKey(QSettings& store);
// As above, after moving a key stored under the identity's legacy name.
std::optional<QString> loadStoredKey(const QString& identity, QSettings& store);
// Stores the trimmed key; a blank key changes nothing (the stored key stays).
void saveStoredKey(const QString& key, QSettings& store);

// "device_api_key." + the lower-case hex SHA-256 of the identity's UTF-8 bytes.
QString legacyKeyName(const QString& identity);

}  // namespace corvanta::backend
