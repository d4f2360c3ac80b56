#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

// The key-login reply, read from the shapes backends send: the token at the top level
// ("token" or "accessToken") or inside the user object ("userinfo" or "userInfo"); the expiry
// always from the user object.
struct KeyLoginResponse {
    std::optional<QString> token;
    std::optional<qint64> expireTimeUnix;
    std::optional<qint64> expiresIn;

    static KeyLoginResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
