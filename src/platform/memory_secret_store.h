#pragma once

#include <map>
#include <mutex>

#include "platform/secret_store.h"

namespace corvanta::platform {

// Keeps secrets in memory only; for tests and for machines where nothing may be persisted.
class MemorySecretStore final : public SecretStore {
public:
    std::optional<std::string> read(const std::string& account) override;
    bool write(const std::string& account, const std::string& text) override;
    void remove(const std::string& account) override;

private:
    std::mutex mutex_;
    std::map<std::string, std::string> items_;
};

}  // namespace corvanta::platform
