#include "backend/api_response.h"

#include "backend/errors.h"
#include "backend/json_reader.h"
#include "backend/snake_case_keys.h"

namespace corvanta::backend {
namespace {

// Deeper documents are refused before parsing: the key conversion walks them recursively.
constexpr int kMaxDepth = 256;

bool nestedTooDeep(const QByteArray& body) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : body) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxDepth) {
                return true;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return false;
}

}  // namespace

APIResponse APIResponse::parse(const QByteArray& body) {
    if (nestedTooDeep(body)) {
        throw DecodingError(DecodingError::Kind::dataCorrupted, QString(),
                            DecodingError::expectedButGot(
                                QStringLiteral("JSON nested at most %1 levels deep").arg(kMaxDepth),
                                QStringLiteral("deeper nesting")));
    }
    const auto document = nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
    if (document.is_discarded()) {
        throw DecodingError(
            DecodingError::Kind::dataCorrupted, QString(),
            DecodingError::expectedButGot(QStringLiteral("JSON"),
                                          body.trimmed().isEmpty()
                                              ? QStringLiteral("an empty body")
                                              : QStringLiteral("text that is not JSON")));
    }
    const nlohmann::json converted = convertKeysFromSnakeCase(document);
    const JsonReader reader(converted, QString());
    APIResponse response;
    response.code = reader.integer("code");
    response.msg = reader.string("msg");
    if (const nlohmann::json* data = reader.find("data")) {
        response.data = *data;
    }
    return response;
}

}  // namespace corvanta::backend
