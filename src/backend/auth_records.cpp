#include "backend/auth_records.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "backend/json_decoding.h"

namespace corvanta::backend {

KeyLoginUserInfo KeyLoginUserInfo::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    KeyLoginUserInfo out;
    out.token = reader.optionalString("token");
    out.accessToken = reader.optionalString("accessToken");
    out.expiretime = reader.optionalInteger("expiretime");
    out.expiresIn = reader.optionalInteger("expiresIn");
    return out;
}

KeyLoginResponse KeyLoginResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    std::optional<KeyLoginUserInfo> info;
    if (const nlohmann::json* raw = reader.find("userinfo")) {
        info = KeyLoginUserInfo::decode(*raw, reader.pathOf("userinfo"));
    } else if (const nlohmann::json* raw = reader.find("userInfo")) {
        info = KeyLoginUserInfo::decode(*raw, reader.pathOf("userInfo"));
    }
    std::optional<QString> top = reader.optionalString("token");
    if (!top) {
        top = reader.optionalString("accessToken");
    }
    KeyLoginResponse out;
    if (top) {
        out.token = top;
    } else if (info && info->token) {
        out.token = info->token;
    } else if (info) {
        out.token = info->accessToken;
    }
    if (info) {
        out.expireTimeUnix = info->expiretime;
        out.expiresIn = info->expiresIn;
    }
    return out;
}

TokenCheckResponse TokenCheckResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    for (const char* key :
         {"expiresIn", "expires_in", "remainingSeconds", "remaining_seconds", "remaining", "ttl"}) {
        if (auto seconds = reader.lenientInteger(key)) {
            return TokenCheckResponse{std::min(*seconds, kMaxExpiresInSeconds)};
        }
    }
    return TokenCheckResponse{0};
}

TokenRefreshPayload TokenRefreshPayload::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return TokenRefreshPayload{reader.optionalString("token"),
                               reader.optionalString("accessToken")};
}

TokenRefreshResponse TokenRefreshResponse::decode(const nlohmann::json& value,
                                                  const QString& path) {
    const JsonReader reader(value, path);
    std::optional<TokenRefreshPayload> payload;
    if (const nlohmann::json* raw = reader.find("userinfo")) {
        payload = TokenRefreshPayload::decode(*raw, reader.pathOf("userinfo"));
    } else if (const nlohmann::json* raw = reader.find("userInfo")) {
        payload = TokenRefreshPayload::decode(*raw, reader.pathOf("userInfo"));
    }
    std::optional<QString> candidate = reader.optionalString("token");
    if (!candidate) {
        candidate = reader.optionalString("accessToken");
    }
    if (!candidate && payload) {
        candidate = payload->token ? payload->token : payload->accessToken;
    }
    if (!candidate || candidate->trimmed().isEmpty()) {
        throw DecodingError(
            DecodingError::Kind::keyNotFound, reader.pathOf("token"),
            DecodingError::expectedButGot(
                QStringLiteral("a token (under token, accessToken or userinfo)"),
                candidate ? JsonReader::describeValue(nlohmann::json(candidate->toStdString()))
                          : QStringLiteral("nothing")));
    }
    return TokenRefreshResponse{*candidate};
}

}  // namespace corvanta::backend
