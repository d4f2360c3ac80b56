#include "backend/key_store.h"

#include <openssl/evp.h>
#include <QRegularExpression>

namespace corvanta::backend {
namespace {

std::optional<QString> storedText(TokenManager& secrets, const char* account) {
    const QString text = secrets.secret(account).value_or(QString()).trimmed();
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

bool isKeyEntry(const QString& name) {
    static const QRegularExpression legacy(QStringLiteral("^device_api_key\\.[0-9a-f]{64}$"));
    return name == QLatin1String(TokenManager::kKeyAccount) ||
           name == QLatin1String(TokenManager::kLegacyKeyAccount) || legacy.match(name).hasMatch();
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

std::optional<QString> loadStoredKey(TokenManager& secrets) {
    if (auto key = storedText(secrets, TokenManager::kKeyAccount)) {
        return key;
    }
    if (auto legacy = storedText(secrets, TokenManager::kLegacyKeyAccount)) {
        secrets.storeSecret(TokenManager::kKeyAccount, *legacy);
        secrets.removeSecret(TokenManager::kLegacyKeyAccount);
        return legacy;
    }
    return std::nullopt;
}

std::optional<QString> loadStoredKey(const QString& identity, TokenManager& secrets) {
    const std::string name = legacyKeyName(identity).toStdString();
    if (auto legacy = storedText(secrets, name.c_str())) {
        saveStoredKey(*legacy, secrets);
        secrets.removeSecret(name);
        return legacy;
    }
    return loadStoredKey(secrets);
}

void saveStoredKey(const QString& key, TokenManager& secrets) {
    const QString trimmed = key.trimmed();
    if (!trimmed.isEmpty()) {
        secrets.storeSecret(TokenManager::kKeyAccount, trimmed);
    }
}

LegacySecrets settingsKeyEntries(QSettings& settings) {
    LegacySecrets legacy;
    legacy.read = [&settings] {
        std::map<std::string, std::string> entries;
        for (const QString& name : settings.allKeys()) {
            if (!isKeyEntry(name)) {
                continue;
            }
            // A blank entry moves nothing, but is removed with the others.
            entries[name.toStdString()] = settings.value(name).toString().trimmed().toStdString();
        }
        return entries;
    };
    legacy.erase = [&settings](const std::vector<std::string>& accounts) {
        for (const std::string& account : accounts) {
            settings.remove(QString::fromStdString(account));
        }
        settings.sync();
    };
    return legacy;
}

QString maskedKey(const QString& key) {
    if (key.size() <= 4) {
        return QString(key.size(), QChar(0x2022));
    }
    return QString(key.size() - 4, QChar(0x2022)) + key.right(4);
}

}  // namespace corvanta::backend
