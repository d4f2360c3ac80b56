#include "platform/open_secret_store.h"

#include <QStandardPaths>
#include <mutex>

#include "platform/file_secret_store.h"
#include "platform/libsecret_secret_store.h"
#include "platform/system_log.h"

namespace corvanta::platform {

QString defaultSecretFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Corvanta/secrets.json");
}

std::unique_ptr<SecretStore> openSecretStore(const std::string& service,
                                             const QString& fallbackPath) {
    if (auto keyring = LibsecretSecretStore::open(service)) {
        return keyring;
    }
    static std::once_flag announced;
    std::call_once(announced, [&] {
        qCWarning(authLog).noquote() << "no Secret Service answered; keeping the sign-in in"
                                     << fallbackPath << "(readable by this user only)";
    });
    return std::make_unique<FileSecretStore>(fallbackPath.toStdString(), service);
}

}  // namespace corvanta::platform
