#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

// The user object inside a token-refresh reply.
struct TokenRefreshPayload {
    std::optional<QString> token;
    std::optional<QString> accessToken;

    static TokenRefreshPayload decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
