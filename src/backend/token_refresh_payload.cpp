#include "backend/token_refresh_payload.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

TokenRefreshPayload TokenRefreshPayload::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return TokenRefreshPayload{reader.optionalString("token"),
                               reader.optionalString("accessToken")};
}

}  // namespace corvanta::backend
