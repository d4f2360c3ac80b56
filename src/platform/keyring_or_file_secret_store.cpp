#include "platform/keyring_or_file_secret_store.h"

#include <QString>
#include <map>

#include "platform/system_log.h"

namespace corvanta::platform {

KeyringOrFileSecretStore::KeyringOrFileSecretStore(std::string service, std::string fallbackPath,
                                                   std::vector<std::string> signInAccounts,
                                                   KeyringOpener openKeyring)
    : service_(std::move(service)),
      signInAccounts_(std::move(signInAccounts)),
      openKeyring_(std::move(openKeyring)),
      file_(std::move(fallbackPath), service_) {
    if (auto keyring = openKeyring_()) {
        if (!file_.items().empty()) {
            moveFileInto(*keyring);
        }
        keyring_ = std::move(keyring);
        return;
    }
    static std::once_flag announced;
    std::call_once(announced, [this] {
        qCWarning(authLog).noquote()
            << "no Secret Service answered; keeping the sign-in in"
            << QString::fromStdString(file_.path())
            << "(readable by this user only) and asking again while signed in";
    });
}

std::optional<std::string> KeyringOrFileSecretStore::read(const std::string& account) {
    std::lock_guard lock(mutex_);
    return keyring_ ? keyring_->read(account) : file_.read(account);
}

bool KeyringOrFileSecretStore::write(const std::string& account, const std::string& text) {
    std::lock_guard lock(mutex_);
    return keyring_ ? keyring_->write(account, text) : file_.write(account, text);
}

void KeyringOrFileSecretStore::remove(const std::string& account) {
    std::lock_guard lock(mutex_);
    if (keyring_) {
        keyring_->remove(account);
    } else {
        file_.remove(account);
    }
}

bool KeyringOrFileSecretStore::usesFallback() const {
    std::lock_guard lock(mutex_);
    return !keyring_;
}

bool KeyringOrFileSecretStore::retryPreferred() {
    std::lock_guard lock(mutex_);
    if (keyring_) {
        return false;
    }
    auto keyring = openKeyring_();
    if (!keyring || !moveFileInto(*keyring)) {
        return false;
    }
    keyring_ = std::move(keyring);
    qCInfo(authLog).noquote() << "the Secret Service answered; the sign-in moved into it from"
                              << QString::fromStdString(file_.path());
    return true;
}

bool KeyringOrFileSecretStore::moveFileInto(SecretStore& keyring) {
    const std::map<std::string, std::string> items = file_.items();
    for (const auto& [account, text] : items) {
        if (!keyring.write(account, text)) {
            return false;  // the file stays the truth; the next try moves everything again
        }
    }
    for (const std::string& account : signInAccounts_) {
        if (!items.count(account)) {
            keyring.remove(account);
        }
    }
    file_.erase();
    return true;
}

}  // namespace corvanta::platform
