#include "backend/key_login_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"
#include "backend/key_login_user_info.h"

namespace corvanta::backend {

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

}  // namespace corvanta::backend
