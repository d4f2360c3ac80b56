#pragma once

#include <httplib.h>

#include <mutex>
#include <nlohmann/json.hpp>

namespace corvanta::devserver {

// What every /api/ and /static/icons/ request looked like on the wire, for tests to inspect
// through GET /admin/requests. Keeps the latest 1000. Thread-safe.
class RequestJournal {
public:
    void record(const httplib::Request& request, const std::string& fault);
    void clear();
    nlohmann::json toJson() const;

private:
    mutable std::mutex mutex_;
    nlohmann::json entries_ = nlohmann::json::array();
};

}  // namespace corvanta::devserver
