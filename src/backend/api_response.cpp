#include "backend/api_response.h"

#include <QString>
#include <vector>

#include "backend/errors.h"
#include "backend/json_reader.h"

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

std::string convertKeyFromSnakeCase(std::string_view key) {
    const std::size_t first = key.find_first_not_of('_');
    if (first == std::string_view::npos) {
        return std::string(key);
    }
    const std::size_t last = key.find_last_not_of('_');
    const std::string_view middle = key.substr(first, last - first + 1);
    std::vector<std::string_view> words;
    std::size_t start = 0;
    while (start <= middle.size()) {
        const std::size_t end = std::min(middle.find('_', start), middle.size());
        if (end > start) {
            words.push_back(middle.substr(start, end - start));
        }
        start = end + 1;
    }
    if (words.size() <= 1) {
        return std::string(key);
    }
    std::string result(key.substr(0, first));
    result += words.front();
    for (std::size_t i = 1; i < words.size(); ++i) {
        const QString word = QString::fromUtf8(words[i].data(), qsizetype(words[i].size()));
        // Capitalised by whole characters, so a non-ASCII first letter stays intact.
        const qsizetype head = word.at(0).isHighSurrogate() && word.size() > 1 ? 2 : 1;
        result += (word.left(head).toUpper() + word.mid(head).toLower()).toStdString();
    }
    result += key.substr(last + 1);
    return result;
}

nlohmann::json convertKeysFromSnakeCase(const nlohmann::json& value) {
    if (value.is_array()) {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& element : value) {
            out.push_back(convertKeysFromSnakeCase(element));
        }
        return out;
    }
    if (!value.is_object()) {
        return value;
    }
    nlohmann::json out = nlohmann::json::object();
    for (auto it = value.begin(); it != value.end(); ++it) {
        if (convertKeyFromSnakeCase(it.key()) == it.key()) {
            out[it.key()] = convertKeysFromSnakeCase(it.value());
        }
    }
    for (auto it = value.begin(); it != value.end(); ++it) {
        const std::string converted = convertKeyFromSnakeCase(it.key());
        if (converted != it.key() && !out.contains(converted)) {
            out[converted] = convertKeysFromSnakeCase(it.value());
        }
    }
    return out;
}

}  // namespace corvanta::backend
