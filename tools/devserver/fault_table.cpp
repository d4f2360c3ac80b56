#include "fault_table.h"

namespace corvanta::devserver {

void FaultTable::add(Fault fault) {
    std::lock_guard lock(mutex_);
    faults_.push_back(std::move(fault));
}

void FaultTable::clear() {
    std::lock_guard lock(mutex_);
    faults_.clear();
}

std::optional<Fault> FaultTable::take(const std::string& path) {
    std::lock_guard lock(mutex_);
    for (auto it = faults_.begin(); it != faults_.end(); ++it) {
        if (it->path != path && it->path != "*") {
            continue;
        }
        if (it->after > 0) {
            --it->after;
            continue;
        }
        Fault taken = *it;
        if (it->count > 0 && --it->count == 0) {
            faults_.erase(it);
        }
        return taken;
    }
    return std::nullopt;
}

nlohmann::json FaultTable::toJson() const {
    std::lock_guard lock(mutex_);
    nlohmann::json list = nlohmann::json::array();
    for (const auto& fault : faults_) {
        list.push_back(fault.toJson());
    }
    return list;
}

}  // namespace corvanta::devserver
