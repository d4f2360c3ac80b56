#pragma once

#include <QCoroTask>
#include <QString>
#include <optional>
#include <stop_token>

#include "backend/display_records.h"

namespace corvanta::update {

// Asks the backend whether an update exists for the running version. Whether one exists, and
// whether it is mandatory, is the backend's decision alone. May fail with any error.
class VersionChecking {
public:
    virtual ~VersionChecking() = default;
    virtual QCoro::Task<std::optional<backend::AppVersionUpdate>> checkVersion(
        QString currentVersion, std::stop_token stop = {}) = 0;
};

}  // namespace corvanta::update
