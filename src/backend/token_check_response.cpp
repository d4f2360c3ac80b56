#include "backend/token_check_response.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

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

}  // namespace corvanta::backend
