#include "backend/json_decoding.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace corvanta::backend {
namespace {

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

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

std::optional<qint64> parseDecimalInteger(QStringView text) {
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    // Accumulated as a negative number so that the lowest value fits.
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) {
            return std::nullopt;
        }
        const int digit = text[i].unicode() - '0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min()) {
            return std::nullopt;
        }
        value = -value;
    }
    return value;
}

std::optional<double> parseDecimalDouble(QStringView text) {
    qsizetype i = 0;
    const auto digits = [&] {
        const qsizetype start = i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
        }
        return i - start;
    };
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        ++i;
    }
    qsizetype mantissaDigits = digits();
    if (i < text.size() && text[i] == QLatin1Char('.')) {
        ++i;
        mantissaDigits += digits();
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
            ++i;
        }
        if (digits() == 0) {
            return std::nullopt;
        }
    }
    if (i != text.size()) {
        return std::nullopt;
    }
    std::string ascii = text.toLatin1().toStdString();
    if (!ascii.empty() && ascii.front() == '+') {
        ascii.erase(0, 1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (end != ascii.data() + ascii.size() || ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

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

ApiResponse ApiResponse::parse(const QByteArray& body) {
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
    ApiResponse response;
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
