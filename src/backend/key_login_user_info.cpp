#include "backend/key_login_user_info.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

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

}  // namespace corvanta::backend
