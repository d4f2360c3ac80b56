#include "backend/token_refresh_dto.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"
#include "backend/token_refresh_payload.h"

namespace corvanta::backend {

TokenRefreshDTO TokenRefreshDTO::decode(const nlohmann::json& value, const QString& path) {
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
    return TokenRefreshDTO{*candidate};
}

}  // namespace corvanta::backend
