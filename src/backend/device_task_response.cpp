#include "backend/device_task_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

DeviceTaskResponse DeviceTaskResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    DeviceTaskResponse out;
    out.taskId = reader.string("taskId");
    out.beginTime = reader.integer("beginTime");
    out.seed = reader.optionalString("seed");
    out.difficulty = reader.optionalInteger("difficulty");
    out.nonceUpperBound = reader.optionalInteger("nonceUpperBound");
    return out;
}

}  // namespace corvanta::backend
