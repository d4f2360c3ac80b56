#include "backend/json_reader.h"

#include <cmath>

#include "backend/number_parsing.h"

namespace corvanta::backend {

JsonReader::JsonReader(const nlohmann::json& value, QString path)
    : object_(value), path_(std::move(path)) {
    if (!value.is_object()) {
        throw typeMismatch(path_, QStringLiteral("Dictionary"), value);
    }
}

QString JsonReader::pathOf(const char* key) const {
    const QString name = QString::fromUtf8(key);
    return path_.isEmpty() ? name : path_ + QLatin1Char('.') + name;
}

const nlohmann::json* JsonReader::find(const char* key) const {
    const auto it = object_.find(key);
    if (it == object_.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

QString JsonReader::string(const char* key) const {
    if (auto value = optionalString(key)) {
        return *value;
    }
    const bool present = object_.contains(key);
    throw DecodingError(
        present ? DecodingError::Kind::valueNotFound : DecodingError::Kind::keyNotFound,
        pathOf(key), QStringLiteral("Expected String value but found null"));
}

std::optional<QString> JsonReader::optionalString(const char* key) const {
    const nlohmann::json* value = find(key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        throw typeMismatch(pathOf(key), QStringLiteral("String"), *value);
    }
    return QString::fromStdString(value->get_ref<const std::string&>());
}

qint64 JsonReader::integer(const char* key) const {
    if (auto value = optionalInteger(key)) {
        return *value;
    }
    const bool present = object_.contains(key);
    throw DecodingError(
        present ? DecodingError::Kind::valueNotFound : DecodingError::Kind::keyNotFound,
        pathOf(key), QStringLiteral("Expected Int value but found null"));
}

std::optional<qint64> JsonReader::optionalInteger(const char* key) const {
    const nlohmann::json* value = find(key);
    if (!value) {
        return std::nullopt;
    }
    if (auto number = asInteger(*value)) {
        return number;
    }
    throw typeMismatch(pathOf(key), QStringLiteral("Int"), *value);
}

std::optional<qint64> JsonReader::lenientInteger(const char* key) const {
    const nlohmann::json* value = find(key);
    if (!value) {
        return std::nullopt;
    }
    if (auto number = asInteger(*value)) {
        return number;
    }
    if (!value->is_string()) {
        return std::nullopt;
    }
    return parseDecimalInteger(QString::fromStdString(value->get_ref<const std::string&>()));
}

std::optional<qint64> JsonReader::asInteger(const nlohmann::json& value) {
    if (value.is_number_integer() && !value.is_number_unsigned()) {
        return value.get<std::int64_t>();
    }
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<qint64>::max())) {
            return std::nullopt;
        }
        return static_cast<qint64>(u);
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        constexpr double kExactLimit = 9007199254740992.0;  // 2^53
        if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < kExactLimit) {
            return static_cast<qint64>(d);
        }
    }
    return std::nullopt;
}

QString JsonReader::typeName(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return QStringLiteral("null");
        case nlohmann::json::value_t::object:
            return QStringLiteral("a dictionary");
        case nlohmann::json::value_t::array:
            return QStringLiteral("an array");
        case nlohmann::json::value_t::string:
            return QStringLiteral("a string");
        case nlohmann::json::value_t::boolean:
            return QStringLiteral("a boolean");
        case nlohmann::json::value_t::number_integer:
        case nlohmann::json::value_t::number_unsigned:
        case nlohmann::json::value_t::number_float:
            return QStringLiteral("a number");
        default:
            return QStringLiteral("something else");
    }
}

DecodingError JsonReader::typeMismatch(const QString& path, const QString& expected,
                                       const nlohmann::json& found) {
    return DecodingError(DecodingError::Kind::typeMismatch, path,
                         QStringLiteral("Expected to decode %1 but found %2 instead.")
                             .arg(expected, typeName(found)));
}

}  // namespace corvanta::backend
