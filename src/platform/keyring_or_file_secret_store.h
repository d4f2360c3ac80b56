#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/file_secret_store.h"
#include "platform/secret_store.h"

namespace corvanta::platform {

// The desktop's keyring when it answers, otherwise the fallback file. A keyring that was not up
// at start (an autostart before the desktop's keyring) can be asked again with retryPreferred():
// once it answers, the file's items move into it and the file is removed. A file left behind by
// a run without a keyring is moved the same way when the keyring answers at once.
//
// Every call may talk D-Bus: call it off the main thread.
class KeyringOrFileSecretStore final : public SecretStore {
public:
    using KeyringOpener = std::function<std::unique_ptr<SecretStore>()>;

    // `signInAccounts`: the items of the sign-in; those the file lacks are removed from the
    // keyring when the file moves in, so that a sign-out made while on the file stays made (other
    // items the keyring holds are left alone). `openKeyring` gives a store when the keyring
    // answers, else none.
    KeyringOrFileSecretStore(std::string service, std::string fallbackPath,
                             std::vector<std::string> signInAccounts, KeyringOpener openKeyring);

    std::optional<std::string> read(const std::string& account) override;
    bool write(const std::string& account, const std::string& text) override;
    void remove(const std::string& account) override;

    bool usesFallback() const override;
    bool retryPreferred() override;

private:
    // Moves the file's items into `keyring`; the file is removed when all of them arrived.
    bool moveFileInto(SecretStore& keyring);

    mutable std::mutex mutex_;
    std::string service_;
    std::vector<std::string> signInAccounts_;
    KeyringOpener openKeyring_;
    FileSecretStore file_;
    std::unique_ptr<SecretStore> keyring_;  // none while the file is in use
};

}  // namespace corvanta::platform
