#include "backend/notice_list_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

NoticeListResponse NoticeListResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    NoticeListResponse out;
    out.code = reader.integer("code");
    out.msg = reader.string("msg");
    out.time = reader.string("time");
    const nlohmann::json* list = reader.find("data");
    if (!list) {
        throw reader.missing("data", JsonReader::expectedList());
    }
    out.data = JsonDecode<std::vector<NoticeDTO>>::decode(*list, reader.pathOf("data"));
    return out;
}

}  // namespace corvanta::backend
