#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The token-refresh reply: the new token, at the top level or inside the user object. A reply
// without a usable token does not decode.
struct TokenRefreshDTO {
    QString token;  // as received, not trimmed

    static TokenRefreshDTO decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
