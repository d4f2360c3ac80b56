#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace corvanta::backend {

// "expires_in" -> "expiresIn", "end_to_end_response_time" -> "endToEndResponseTime". A key
// without an inner underscore stays as it is; leading and trailing underscores stay.
std::string convertKeyFromSnakeCase(std::string_view key);

// Converts the keys of every object in `value`, at every depth. When a converted key collides
// with a key already present, the one written as it is wins.
nlohmann::json convertKeysFromSnakeCase(const nlohmann::json& value);

}  // namespace corvanta::backend
