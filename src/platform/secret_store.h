#pragma once

#include <optional>
#include <string>

namespace corvanta::platform {

// Small text secrets kept under an account name within one service (the keychain's generic
// password items). Implementations may block: call them off the main thread.
class SecretStore {
public:
    virtual ~SecretStore() = default;

    // The item's text, or nothing when it is missing or cannot be read.
    virtual std::optional<std::string> read(const std::string& account) = 0;
    // Creates or replaces the item. False when the store refused it.
    virtual bool write(const std::string& account, const std::string& text) = 0;
    // Removes the item; a missing item is not an error.
    virtual void remove(const std::string& account) = 0;

    // Whether this store stands in for a preferred one that did not answer (the fallback file
    // for the keyring).
    virtual bool usesFallback() const { return false; }
    // Asks the preferred store again; when it answers, everything moves into it and the fallback
    // is no longer used. True when that happened now.
    virtual bool retryPreferred() { return false; }
};

}  // namespace corvanta::platform
