#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace corvanta::devserver {

// The fixed demo content: notices, the model ranking and its icons, the content pages.
nlohmann::json demoNotices(std::int64_t now);
// Model rows whose icons point at this server (`origin` is "http://127.0.0.1:PORT").
nlohmann::json demoModels(const std::string& origin);
// The SVG document of an icon name ("aurora"), or nothing.
std::optional<std::string> demoIcon(const std::string& name);
// {"title", "content"} for about, privacy, terms; nothing for another type.
std::optional<nlohmann::json> demoPage(const std::string& type);

}  // namespace corvanta::devserver
