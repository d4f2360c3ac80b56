#pragma once

#include <cstddef>
#include <mutex>
#include <set>

namespace corvanta::engine {

// The ids of the workers of the current run that are running.
class WorkerRegistry {
public:
    void add(int id);
    void remove(int id);
    std::size_t count() const;
    bool contains(int id) const;

private:
    mutable std::mutex mutex_;
    std::set<int> activeIds_;
};

}  // namespace corvanta::engine
