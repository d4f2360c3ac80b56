#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The version-check reply when an update exists. Its keys are all lower case on the wire.
struct VersionUpdateDTO {
    qint64 enforce = 0;
    QString version;
    QString newVersion;
    QString downloadURL;
    QString packageSize;
    QString upgradeText;

    static VersionUpdateDTO decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
