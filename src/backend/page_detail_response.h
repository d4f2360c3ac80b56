#pragma once

#include <QString>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace corvanta::backend {

// One content page (about, privacy, terms); the content is an HTML fragment.
struct PageDetailResponse {
    std::optional<QString> title;
    std::optional<QString> content;

    static PageDetailResponse decode(const nlohmann::json& value, const QString& path);
};

}  // namespace corvanta::backend
