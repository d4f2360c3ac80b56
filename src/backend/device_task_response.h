#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

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
