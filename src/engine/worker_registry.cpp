#include "engine/worker_registry.h"

namespace corvanta::engine {

void WorkerRegistry::add(int id) {
    std::lock_guard lock(mutex_);
    activeIds_.insert(id);
}

void WorkerRegistry::remove(int id) {
    std::lock_guard lock(mutex_);
    activeIds_.erase(id);
}

std::size_t WorkerRegistry::count() const {
    std::lock_guard lock(mutex_);
    return activeIds_.size();
}

bool WorkerRegistry::contains(int id) const {
    std::lock_guard lock(mutex_);
    return activeIds_.contains(id);
}

}  // namespace corvanta::engine
