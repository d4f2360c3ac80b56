#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The records of the account requests' replies (key login, token check, token refresh), as the
// backend sends them, each with its decoder (T::decode(data, path), through JsonDecode). A decoder
// throws DecodingError naming the field.

namespace corvanta::backend {

// The user object inside a key-login reply.
struct KeyLoginUserInfo {
    std::optional<QString> token;
    std::optional<QString> accessToken;
    std::optional<qint64> expiretime;  // seconds since 1970
    std::optional<qint64> expiresIn;   // seconds

    static KeyLoginUserInfo decode(const nlohmann::json& value, const QString& path);
};

// The key-login reply, read from the shapes backends send: the token at the top level
// ("token" or "accessToken") or inside the user object ("userinfo" or "userInfo"); the expiry
// always from the user object.
struct KeyLoginResponse {
    std::optional<QString> token;
    std::optional<qint64> expireTimeUnix;
    std::optional<qint64> expiresIn;

    static KeyLoginResponse decode(const nlohmann::json& value, const QString& path);
};

// The remaining lifetime of the current token, from whichever of the known keys carries it;
// 0 when none does. A lifetime beyond ten years is taken as ten years: the expiry must stay a
// date the clock can reach.
struct TokenCheckResponse {
    static constexpr qint64 kMaxExpiresInSeconds = 3650LL * 86400;

    qint64 expiresIn = 0;

    static TokenCheckResponse decode(const nlohmann::json& value, const QString& path);
};

// The user object inside a token-refresh reply.
struct TokenRefreshPayload {
    std::optional<QString> token;
    std::optional<QString> accessToken;

    static TokenRefreshPayload decode(const nlohmann::json& value, const QString& path);
};

// The token-refresh reply: the new token, at the top level or inside the user object. A reply
// without a usable token does not decode.
struct TokenRefreshResponse {
    QString token;  // as received, not trimmed

    static TokenRefreshResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
