#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <vector>

#include "backend/model_ranking_dto.h"
#include "backend/notice_dto.h"
#include "backend/sign_in_record_dto.h"

namespace corvanta::backend {

// The dashboard's data. Older backends send only the list of contribution records, as a bare
// array; that reads as records with everything else empty.
struct IndexResponse {
    qint64 tokenScarcity = 0;
    std::optional<NoticeDTO> notice;
    std::vector<SignInRecordDTO> recent;
    std::vector<ModelRankingDTO> modelTops;

    static IndexResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
