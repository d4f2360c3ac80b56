#pragma once

#include <mutex>
#include <optional>
#include <vector>

#include "fault.h"

namespace corvanta::devserver {

// The faults waiting for requests, oldest first. Thread-safe.
class FaultTable {
public:
    void add(Fault fault);
    void clear();
    // The first fault for `path` (or "*") that still has requests left, used up by one. A fault
    // still letting requests through counts this one and leaves it to the faults after it.
    std::optional<Fault> take(const std::string& path);
    nlohmann::json toJson() const;

private:
    mutable std::mutex mutex_;
    std::vector<Fault> faults_;
};

}  // namespace corvanta::devserver
