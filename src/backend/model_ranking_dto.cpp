#include "backend/model_ranking_dto.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

ModelRankingDTO ModelRankingDTO::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    ModelRankingDTO out;
    out.model = reader.string("model");
    out.featuresContextWindow = reader.string("featuresContextWindow");
    out.featuresCreator = reader.string("featuresCreator");
    out.iconSrc = reader.string("iconSrc");
    out.intelligence = reader.string("intelligence");
    out.price = reader.string("price");
    out.speed = reader.string("speed");
    out.latency = reader.string("latency");
    out.endToEndResponseTime = reader.optionalString("endToEndResponseTime");
    return out;
}

}  // namespace corvanta::backend
