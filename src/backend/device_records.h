#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

// The records of the device requests' replies, as the backend sends them, each with its decoder
// (T::decode(data, path), through JsonDecode). A decoder throws DecodingError naming the field.

namespace corvanta::backend {

// The reply to device registration.
struct DeviceInitResponse {
    qint64 id = 0;
    QString ipAddress;  // empty when missing, null or not a string

    // The id may come as a number or as a string holding a decimal integer.
    static DeviceInitResponse decode(const nlohmann::json& value, const QString& path);

    bool operator==(const DeviceInitResponse&) const = default;
};

// One proof-of-work task as the backend hands it out. Decoded strictly: a present key with a
// value of the wrong type fails.
struct DeviceTaskResponse {
    QString taskId;
    qint64 beginTime = 0;
    std::optional<QString> seed;
    std::optional<qint64> difficulty;
    std::optional<qint64> nonceUpperBound;

    static DeviceTaskResponse decode(const nlohmann::json& value, const QString& path);

    bool operator==(const DeviceTaskResponse&) const = default;
};

}  // namespace corvanta::backend
