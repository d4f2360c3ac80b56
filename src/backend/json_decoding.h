#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/errors.h"

// How the client reads a JSON reply: the envelope every reply comes in (ApiResponse), its keys
// converted from snake_case, the strict reader of one object's fields (JsonReader, JsonDecode)
// that the records' decoders use, and the readers of numbers sent as text.

namespace corvanta::backend {

// Base-10 signed 64-bit integer, the whole text: optional "+" or "-", then digits only.
std::optional<qint64> parseDecimalInteger(QStringView text);

// A decimal floating-point number, the whole text: optional sign, digits with an optional
// fraction after a point, optional exponent. No spaces, units, grouping, "inf" or "nan".
std::optional<double> parseDecimalDouble(QStringView text);

// Reads the fields of one JSON object strictly: a required key that is missing or null, or any
// value of the wrong JSON type, throws a DecodingError naming its path. Optional readers give
// nothing for a missing key or null. Integers are exact 64-bit values.
class JsonReader {
public:
    // Throws typeMismatch when `value` is not an object.
    JsonReader(const nlohmann::json& value, QString path);

    const QString& path() const { return path_; }
    QString pathOf(const char* key) const;

    // The value under `key`, or nullptr when it is missing or null.
    const nlohmann::json* find(const char* key) const;

    QString string(const char* key) const;
    std::optional<QString> optionalString(const char* key) const;
    qint64 integer(const char* key) const;
    std::optional<qint64> optionalInteger(const char* key) const;

    // An integer, or a string holding one in full; anything else (of any type) gives nothing.
    std::optional<qint64> lenientInteger(const char* key) const;

    // A JSON number that is an exact signed 64-bit integer. Floats count only when integral and
    // below 2^53, where they are still exact.
    static std::optional<qint64> asInteger(const nlohmann::json& value);

    // What a reader expected, in the words of its errors.
    static QString expectedText();
    static QString expectedObject();
    static QString expectedList();
    // "a whole number from <min> to <max>"; by default the whole signed 64-bit range.
    static QString expectedWholeNumber(qint64 min = std::numeric_limits<qint64>::min(),
                                       qint64 max = std::numeric_limits<qint64>::max());
    // A value as an error shows it: numbers and literals as written, text quoted (and cut when
    // long), lists and objects by their shape.
    static QString describeValue(const nlohmann::json& value);

    // `expected` came as `found`; the error says what each was.
    static DecodingError typeMismatch(const QString& path, const QString& expected,
                                      const nlohmann::json& found);
    // Nothing usable under the key: missing (keyNotFound, "got nothing") or null (valueNotFound,
    // "got null").
    DecodingError missing(const char* key, const QString& expected) const;

private:
    const nlohmann::json& object_;
    QString path_;
};

// Decodes a record type: T::decode(value, path), or a list of them.
template <class T>
struct JsonDecode {
    static T decode(const nlohmann::json& value, const QString& path) {
        return T::decode(value, path);
    }
};

template <class T>
struct JsonDecode<std::vector<T>> {
    static std::vector<T> decode(const nlohmann::json& value, const QString& path) {
        if (!value.is_array()) {
            throw JsonReader::typeMismatch(path, JsonReader::expectedList(), value);
        }
        std::vector<T> out;
        out.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) {
            out.push_back(JsonDecode<T>::decode(value[i], path + QStringLiteral("[%1]").arg(i)));
        }
        return out;
    }
};

// The envelope of every backend reply: {"code", "msg", "data"}. Code 1 is success, 401 means
// signed out, anything else is a failure described by msg. The data stays JSON (keys already
// converted from snake_case) until the caller decodes it as its record; null when absent.
struct ApiResponse {
    qint64 code = 0;
    QString msg;
    nlohmann::json data;

    // Throws DecodingError when the body is not JSON, too deeply nested, not an object, or lacks
    // an integer code or a string msg.
    static ApiResponse parse(const QByteArray& body);
};

// "expires_in" -> "expiresIn", "end_to_end_response_time" -> "endToEndResponseTime". A key
// without an inner underscore stays as it is; leading and trailing underscores stay.
std::string convertKeyFromSnakeCase(std::string_view key);

// Converts the keys of every object in `value`, at every depth. When a converted key collides
// with a key already present, the one written as it is wins.
nlohmann::json convertKeysFromSnakeCase(const nlohmann::json& value);

}  // namespace corvanta::backend
