#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// One day of the user's contribution.
struct SignInRecordDTO {
    QString sDate;  // year-month-day
    qint64 award = 0;

    static SignInRecordDTO decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
