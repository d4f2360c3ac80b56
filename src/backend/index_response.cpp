#include "backend/index_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

IndexResponse IndexResponse::decode(const nlohmann::json& value, const QString& path) {
    IndexResponse out;
    if (value.is_array()) {
        try {
            out.recent = JsonDecode<std::vector<SignInRecordDTO>>::decode(value, path);
            return out;
        } catch (const DecodingError&) {
            // Not the bare-array shape; the object reading below reports the real mismatch.
        }
    }
    const JsonReader reader(value, path);
    out.tokenScarcity = reader.optionalInteger("tokenScarcity").value_or(0);
    if (const nlohmann::json* notice = reader.find("notice")) {
        out.notice = NoticeDTO::decode(*notice, reader.pathOf("notice"));
    }
    if (const nlohmann::json* recent = reader.find("recent")) {
        out.recent =
            JsonDecode<std::vector<SignInRecordDTO>>::decode(*recent, reader.pathOf("recent"));
    }
    if (const nlohmann::json* tops = reader.find("modelTops")) {
        out.modelTops =
            JsonDecode<std::vector<ModelRankingDTO>>::decode(*tops, reader.pathOf("modelTops"));
    }
    return out;
}

}  // namespace corvanta::backend
