#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The remaining lifetime of the current token, from whichever of the known keys carries it;
// 0 when none does.
struct TokenCheckResponse {
    qint64 expiresIn = 0;

    static TokenCheckResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
