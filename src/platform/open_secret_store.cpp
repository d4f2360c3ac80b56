#include "platform/open_secret_store.h"

#include <QStandardPaths>

#include "platform/keyring_or_file_secret_store.h"
#include "platform/libsecret_secret_store.h"

namespace corvanta::platform {

QString defaultSecretFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Corvanta/secrets.json");
}

std::unique_ptr<SecretStore> openSecretStore(const std::string& service,
                                             const QString& fallbackPath,
                                             std::vector<std::string> signInAccounts) {
    return std::make_unique<KeyringOrFileSecretStore>(
        service, fallbackPath.toStdString(), std::move(signInAccounts),
        [service]() -> std::unique_ptr<SecretStore> {
            return LibsecretSecretStore::open(service);
        });
}

}  // namespace corvanta::platform
