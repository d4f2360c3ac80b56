#include "backend/notice_dto.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

NoticeDTO NoticeDTO::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return NoticeDTO{reader.integer("id"), reader.string("title"), reader.string("content"),
                     reader.optionalInteger("createtime")};
}

}  // namespace corvanta::backend
