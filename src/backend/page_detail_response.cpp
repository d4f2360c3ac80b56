#include "backend/page_detail_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

PageDetailResponse PageDetailResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return PageDetailResponse{reader.optionalString("title"), reader.optionalString("content")};
}

}  // namespace corvanta::backend
