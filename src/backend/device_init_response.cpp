#include "backend/device_init_response.h"

#include <nlohmann/json.hpp>

#include "backend/json_reader.h"
#include "backend/number_parsing.h"

namespace corvanta::backend {

DeviceInitResponse DeviceInitResponse::decode(const nlohmann::json& value, const QString& path) {
    const JsonReader reader(value, path);
    DeviceInitResponse out;
    std::optional<qint64> id;
    const nlohmann::json* raw = reader.find("id");
    if (raw) {
        id = JsonReader::asInteger(*raw);
        if (!id && raw->is_string()) {
            id = parseDecimalInteger(QString::fromStdString(raw->get_ref<const std::string&>()));
        }
    }
    if (!id) {
        const QString expected =
            JsonReader::expectedWholeNumber() + QStringLiteral(", as a number or as text");
        throw DecodingError(DecodingError::Kind::typeMismatch, reader.pathOf("id"),
                            DecodingError::expectedButGot(
                                expected, raw                    ? JsonReader::describeValue(*raw)
                                          : value.contains("id") ? QStringLiteral("null")
                                                                 : QStringLiteral("nothing")));
    }
    out.id = *id;
    if (const nlohmann::json* ip = reader.find("ipAddress"); ip && ip->is_string()) {
        out.ipAddress = QString::fromStdString(ip->get_ref<const std::string&>());
    }
    return out;
}

}  // namespace corvanta::backend
