#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/secret_store.h"

namespace corvanta::platform {

// The fallback when no Secret Service answers: one JSON file readable by the owner only
// (mode 0600, in a folder of mode 0700 when the store creates it). Every write replaces the file
// atomically, so a crash never leaves half a secret behind.
class FileSecretStore final : public SecretStore {
public:
    FileSecretStore(std::string path, std::string service);

    std::optional<std::string> read(const std::string& account) override;
    bool write(const std::string& account, const std::string& text) override;
    void remove(const std::string& account) override;

    // Every item of this service, by account.
    std::map<std::string, std::string> items();
    // Removes every item of this service; the file goes when nothing else is left in it.
    void erase();

    const std::string& path() const { return path_; }

private:
    std::string load();
    bool save(const std::string& contents);

    std::mutex mutex_;
    std::string path_;
    std::string service_;
};

}  // namespace corvanta::platform
