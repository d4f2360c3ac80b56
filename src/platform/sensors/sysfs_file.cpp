#include "platform/sensors/sysfs_file.h"

#include <fstream>

namespace corvanta::platform {

namespace {

// /proc and /sys files report a size of 0 or 4096 whatever they hold, so read until the end
// but refuse anything that is clearly not a small attribute file.
constexpr std::size_t kMaxFileBytes = 1 << 20;

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kWhiteSpace = " \t\r\n";

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
    view = trimmedText(view.substr(0, view.find('\n')));
    if (view.empty()) {
        return std::nullopt;
    }
    return std::string(view);
}

std::optional<std::int64_t> readInteger(const std::filesystem::path& path) {
    const auto line = readTrimmedLine(path);
    return line ? parseNumber<std::int64_t>(*line) : std::nullopt;
}

std::filesystem::path underRoot(const std::filesystem::path& root, std::string_view absolute) {
    return root / std::filesystem::path(absolute).relative_path();
}

std::string_view trimmedText(std::string_view text) {
    const auto first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        lines.push_back(text.substr(0, newline));
        text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    }
    return lines;
}

std::vector<std::string_view> lineFields(std::string_view line) {
    std::vector<std::string_view> fields;
    auto start = line.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const auto end = line.find_first_of(kBlanks, start);
        fields.push_back(line.substr(start, end - start));
        start = end == std::string_view::npos ? end : line.find_first_not_of(kBlanks, end);
    }
    return fields;
}

std::optional<std::pair<std::string_view, std::string_view>> keyAndValue(std::string_view line,
                                                                         char separator) {
    const auto at = line.find(separator);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{trimmedText(line.substr(0, at)), trimmedText(line.substr(at + 1))};
}

}  // namespace corvanta::platform
