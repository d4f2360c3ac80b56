#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

// The user object inside a key-login reply.
struct KeyLoginUserInfo {
    std::optional<QString> token;
    std::optional<QString> accessToken;
    std::optional<qint64> expiretime;  // seconds since 1970
    std::optional<qint64> expiresIn;   // seconds

    static KeyLoginUserInfo decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
