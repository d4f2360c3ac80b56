#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

struct NoticeDTO {
    qint64 id = 0;
    QString title;
    QString content;                   // HTML or plain text, as the backend sends it
    std::optional<qint64> createtime;  // seconds since 1970

    static NoticeDTO decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
