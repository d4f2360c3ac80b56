#include "backend/json_reader.h"

#include <charconv>
#include <cmath>
#include <string>

#include "backend/number_parsing.h"

namespace corvanta::backend {

JsonReader::JsonReader(const nlohmann::json& value, QString path)
    : object_(value), path_(std::move(path)) {
    if (!value.is_object()) {
        throw typeMismatch(path_, expectedObject(), value);
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
    throw missing(key, expectedText());
}

std::optional<QString> JsonReader::optionalString(const char* key) const {
    const nlohmann::json* value = find(key);
    if (!value) {
        return std::nullopt;
    }
    if (!value->is_string()) {
        throw typeMismatch(pathOf(key), expectedText(), *value);
    }
    return QString::fromStdString(value->get_ref<const std::string&>());
}

qint64 JsonReader::integer(const char* key) const {
    if (auto value = optionalInteger(key)) {
        return *value;
    }
    throw missing(key, expectedWholeNumber());
}

std::optional<qint64> JsonReader::optionalInteger(const char* key) const {
    const nlohmann::json* value = find(key);
    if (!value) {
        return std::nullopt;
    }
    if (auto number = asInteger(*value)) {
        return number;
    }
    throw typeMismatch(pathOf(key), expectedWholeNumber(), *value);
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

QString JsonReader::expectedText() {
    return QStringLiteral("text");
}

QString JsonReader::expectedObject() {
    return QStringLiteral("an object");
}

QString JsonReader::expectedList() {
    return QStringLiteral("a list");
}

QString JsonReader::expectedWholeNumber(qint64 min, qint64 max) {
    return QStringLiteral("a whole number from %1 to %2").arg(min).arg(max);
}

QString JsonReader::describeValue(const nlohmann::json& value) {
    switch (value.type()) {
        case nlohmann::json::value_t::null:
            return QStringLiteral("null");
        case nlohmann::json::value_t::boolean:
            return value.get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
        case nlohmann::json::value_t::number_integer:
            return QString::number(value.get<std::int64_t>());
        case nlohmann::json::value_t::number_unsigned:
            return QString::number(value.get<std::uint64_t>());
        case nlohmann::json::value_t::number_float: {
            // The shortest text that reads back as the same number, its exponent without "+".
            char digits[32];
            const auto written = std::to_chars(digits, digits + sizeof digits, value.get<double>(),
                                               std::chars_format::general);
            std::string text(digits, written.ptr);
            if (const auto plus = text.find("e+"); plus != std::string::npos) {
                text.erase(plus + 1, 1);
            }
            return QString::fromStdString(text);
        }
        case nlohmann::json::value_t::string: {
            constexpr qsizetype kShown = 40;
            QString text = QString::fromStdString(value.get_ref<const std::string&>());
            if (text.size() > kShown) {
                text = text.left(kShown) + QChar(0x2026);
            }
            return QLatin1Char('"') + text + QLatin1Char('"');
        }
        case nlohmann::json::value_t::array:
            if (value.empty()) {
                return QStringLiteral("an empty list");
            }
            return value.size() == 1 ? QStringLiteral("a list of 1 item")
                                     : QStringLiteral("a list of %1 items").arg(value.size());
        case nlohmann::json::value_t::object:
            return QStringLiteral("an object");
        default:
            return QStringLiteral("something that is not JSON data");
    }
}

DecodingError JsonReader::typeMismatch(const QString& path, const QString& expected,
                                       const nlohmann::json& found) {
    return DecodingError(DecodingError::Kind::typeMismatch, path,
                         DecodingError::expectedButGot(expected, describeValue(found)));
}

DecodingError JsonReader::missing(const char* key, const QString& expected) const {
    if (object_.contains(key)) {
        return DecodingError(DecodingError::Kind::valueNotFound, pathOf(key),
                             DecodingError::expectedButGot(expected, QStringLiteral("null")));
    }
    return DecodingError(DecodingError::Kind::keyNotFound, pathOf(key),
                         DecodingError::expectedButGot(expected, QStringLiteral("nothing")));
}

}  // namespace corvanta::backend
