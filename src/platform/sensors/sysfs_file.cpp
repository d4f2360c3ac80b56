#include "platform/sensors/sysfs_file.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace corvanta::platform {

namespace {

// /proc and /sys files report a size of 0 or 4096 whatever they hold, so read until the end
// but refuse anything that is clearly not a small attribute file.
constexpr std::size_t kMaxFileBytes = 1 << 20;

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::optional<std::string> readSmallFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> readTrimmedLine(const std::filesystem::path& path) {
    const auto text = readSmallFile(path);
    if (!text) {
        return std::nullopt;
    }
    std::string_view view(*text);
    view = view.substr(0, view.find('\n'));
    view = trimmed(view);
    if (view.empty()) {
        return std::nullopt;
    }
    return std::string(view);
}

std::optional<std::int64_t> readInteger(const std::filesystem::path& path) {
    const auto line = readTrimmedLine(path);
    if (!line) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const char* end = line->data() + line->size();
    const auto [ptr, ec] = std::from_chars(line->data(), end, value);
    if (ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::filesystem::path underRoot(const std::filesystem::path& root, std::string_view absolute) {
    return root / std::filesystem::path(absolute).relative_path();
}

}  // namespace corvanta::platform
