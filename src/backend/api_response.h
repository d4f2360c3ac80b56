#pragma once

#include <QByteArray>
#include <QString>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace corvanta::backend {

// The envelope of every backend reply: {"code", "msg", "data"}. Code 1 is success, 401 means
// signed out, anything else is a failure described by msg. The data stays JSON (keys already
// converted from snake_case) until the caller decodes it as its record; null when absent.
struct APIResponse {
    qint64 code = 0;
    QString msg;
    nlohmann::json data;

    // Throws DecodingError when the body is not JSON, too deeply nested, not an object, or lacks
    // an integer code or a string msg.
    static APIResponse parse(const QByteArray& body);
};

// "expires_in" -> "expiresIn", "end_to_end_response_time" -> "endToEndResponseTime". A key
// without an inner underscore stays as it is; leading and trailing underscores stay.
std::string convertKeyFromSnakeCase(std::string_view key);

// Converts the keys of every object in `value`, at every depth. When a converted key collides
// with a key already present, the one written as it is wins.
nlohmann::json convertKeysFromSnakeCase(const nlohmann::json& value);

}  // namespace corvanta::backend
