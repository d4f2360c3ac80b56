#include "backend/version_update_dto.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

VersionUpdateDTO VersionUpdateDTO::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    VersionUpdateDTO out;
    out.enforce = reader.integer("enforce");
    out.version = reader.string("version");
    out.newVersion = reader.string("newversion");
    out.downloadURL = reader.string("downloadurl");
    out.packageSize = reader.string("packagesize");
    out.upgradeText = reader.string("upgradetext");
    return out;
}

}  // namespace corvanta::backend
