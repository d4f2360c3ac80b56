#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>

namespace corvanta::backend {

// The remaining lifetime of the current token, from whichever of the known keys carries it;
// 0 when none does. A lifetime beyond ten years is taken as ten years: the expiry must stay a
// date the clock can reach.
struct TokenCheckResponse {
    static constexpr qint64 kMaxExpiresInSeconds = 3650LL * 86400;

    qint64 expiresIn = 0;

    static TokenCheckResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
