#include "backend/sign_in_record_dto.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"

namespace corvanta::backend {

SignInRecordDTO SignInRecordDTO::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    return SignInRecordDTO{reader.string("sDate"), reader.integer("award")};
}

}  // namespace corvanta::backend
