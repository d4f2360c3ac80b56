#include "backend/key_store.h"

#include <openssl/evp.h>

namespace corvanta::backend {
namespace {

const QString kCurrentKey = QStringLiteral("corvanta_key.current");
const QString kLegacyCurrentKey = QStringLiteral("device_api_key.current");

QString storedText(QSettings& store, const QString& name) {
    return store.value(name).toString().trimmed();
}

}  // namespace

QString legacyKeyName(const QString& identity) {
    const QByteArray bytes = identity.toUtf8();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.constData(), std::size_t(bytes.size()), digest, &length, EVP_sha256(),
               nullptr);
    const QByteArray hex =
        QByteArray(reinterpret_cast<const char*>(digest), qsizetype(length)).toHex();
    return QStringLiteral("device_api_key.") + QString::fromLatin1(hex);
}

std::optional<QString> loadStoredKey(QSettings& store) {
    if (const QString key = storedText(store, kCurrentKey); !key.isEmpty()) {
        return key;
    }
    if (const QString legacy = storedText(store, kLegacyCurrentKey); !legacy.isEmpty()) {
        store.setValue(kCurrentKey, legacy);
        store.remove(kLegacyCurrentKey);
        return legacy;
    }
    return std::nullopt;
}

std::optional<QString> loadStoredKey(const QString& identity, QSettings& store) {
    const QString name = legacyKeyName(identity);
    if (const QString legacy = storedText(store, name); !legacy.isEmpty()) {
        saveStoredKey(legacy, store);
        store.remove(name);
        return legacy;
    }
    return loadStoredKey(store);
}

void saveStoredKey(const QString& key, QSettings& store) {
    const QString trimmed = key.trimmed();
    if (!trimmed.isEmpty()) {
        store.setValue(kCurrentKey, trimmed);
    }
}

}  // namespace corvanta::backend
