#pragma once

#include <memory>

#include "platform/secret_store.h"

namespace corvanta::platform {

// Secrets in the desktop's Secret Service (gnome-keyring, KWallet) through libsecret's
// synchronous API. Items carry the string attributes "service" and "account". Every call talks
// D-Bus and may wait for an unlock prompt, so it must not run on the main thread.
class LibsecretSecretStore final : public SecretStore {
public:
    explicit LibsecretSecretStore(std::string service);

    // A store when a Secret Service answers a lookup, otherwise nothing.
    static std::unique_ptr<LibsecretSecretStore> open(const std::string& service);

    std::optional<std::string> read(const std::string& account) override;
    bool write(const std::string& account, const std::string& text) override;
    void remove(const std::string& account) override;

private:
    // Whether a lookup reached a Secret Service (a missing item still counts as an answer).
    bool answers();

    std::string service_;
};

}  // namespace corvanta::platform
