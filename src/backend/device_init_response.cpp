#include "backend/device_init_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"
#include "backend/number_parsing.h"

namespace corvanta::backend {

DeviceInitResponse DeviceInitResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    DeviceInitResponse out;
    std::optional<qint64> id;
    if (const nlohmann::json* raw = reader.find("id")) {
        id = JsonReader::asInteger(*raw);
        if (!id && raw->is_string()) {
            id = parseDecimalInteger(QString::fromStdString(raw->get_ref<const std::string&>()));
        }
    }
    if (!id) {
        throw DecodingError(DecodingError::Kind::typeMismatch, reader.pathOf("id"),
                            QStringLiteral("Expected Int or numeric String for id"));
    }
    out.id = *id;
    if (const nlohmann::json* ip = reader.find("ipAddress"); ip && ip->is_string()) {
        out.ipAddress = QString::fromStdString(ip->get_ref<const std::string&>());
    }
    return out;
}

}  // namespace corvanta::backend
