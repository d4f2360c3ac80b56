#pragma once

#include <QByteArray>
#include <QString>
#include <nlohmann/json.hpp>

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

}  // namespace corvanta::backend
