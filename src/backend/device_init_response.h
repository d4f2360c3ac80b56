#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The reply to device registration.
struct DeviceInitResponse {
    qint64 id = 0;
    QString ipAddress;  // empty when missing, null or not a string

    // The id may come as a number or as a string holding a decimal integer.
    static DeviceInitResponse decode(const nlohmann::json& value, const QString& path);

    bool operator==(const DeviceInitResponse&) const = default;
};

}  // namespace corvanta::backend
