#include "backend/device_records.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

#include "backend/json_decoding.h"

namespace corvanta::backend {
namespace {

// The nonce space's upper bound, clamped to the largest the task database stores (2^63 - 1): a
// larger space cannot be searched to its end anyway. Whole numbers only, as for any integer.
std::optional<qint64> clampedUpperBound(const JsonReader& reader) {
    const nlohmann::json* value = reader.find("nonceUpperBound");
    if (!value) {
        return std::nullopt;
    }
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    if (value->is_number_unsigned() && value->get<std::uint64_t>() > std::uint64_t(kLargest)) {
        return kLargest;
    }
    // 2^63 and beyond, written with an exponent or past 2^64.
    if (value->is_number_float() && std::isfinite(value->get<double>()) &&
        value->get<double>() >= 9223372036854775808.0) {
        return kLargest;
    }
    return reader.optionalInteger("nonceUpperBound");
}

}  // namespace

DeviceInitResponse DeviceInitResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    DeviceInitResponse out;
    std::optional<qint64> id;
    const nlohmann::json* raw = reader.find("id");
    if (raw) {
        id = JsonReader::asInteger(*raw);
        if (!id && raw->is_string()) {
            id = parseDecimalInteger(QString::fromStdString(raw->get_ref<const std::string&>()));
        }
    }
    if (!id) {
        const QString expected =
            JsonReader::expectedWholeNumber() + QStringLiteral(", as a number or as text");
        throw DecodingError(DecodingError::Kind::typeMismatch, reader.pathOf("id"),
                            DecodingError::expectedButGot(
                                expected, raw                    ? JsonReader::describeValue(*raw)
                                          : value.contains("id") ? QStringLiteral("null")
                                                                 : QStringLiteral("nothing")));
    }
    out.id = *id;
    if (const nlohmann::json* ip = reader.find("ipAddress"); ip && ip->is_string()) {
        out.ipAddress = QString::fromStdString(ip->get_ref<const std::string&>());
    }
    return out;
}

DeviceTaskResponse DeviceTaskResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    DeviceTaskResponse out;
    out.taskId = reader.string("taskId");
    out.beginTime = reader.integer("beginTime");
    out.seed = reader.optionalString("seed");
    out.difficulty = reader.optionalInteger("difficulty");
    out.nonceUpperBound = clampedUpperBound(reader);
    return out;
}

}  // namespace corvanta::backend
