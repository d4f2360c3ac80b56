#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The payload of replies whose data nobody reads: any JSON value is accepted unseen.
struct EmptyData {
    static EmptyData decode(const nlohmann::json&, const QString&) { return {}; }
};

}  // namespace corvanta::backend
