#include "platform/memory_secret_store.h"

namespace corvanta::platform {

std::optional<std::string> MemorySecretStore::read(const std::string& account) {
    std::lock_guard lock(mutex_);
    const auto it = items_.find(account);
    if (it == items_.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool MemorySecretStore::write(const std::string& account, const std::string& text) {
    std::lock_guard lock(mutex_);
    items_[account] = text;
    return true;
}

void MemorySecretStore::remove(const std::string& account) {
    std::lock_guard lock(mutex_);
    items_.erase(account);
}

}  // namespace corvanta::platform
