#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <vector>

#include "backend/notice_dto.h"

namespace corvanta::backend {

// The notice list arrives wrapped in a second envelope inside the outer one's data; only its
// list is used.
struct NoticeListResponse {
    qint64 code = 0;
    QString msg;
    QString time;
    std::vector<NoticeDTO> data;

    static NoticeListResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
