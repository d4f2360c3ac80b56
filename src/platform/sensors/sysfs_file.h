#pragma once

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

namespace corvanta::platform {

// Small whole-file reads for /proc and /sys entries, and the few ways their text is cut up. Every
// reader of those files goes through here. Every failure gives nullopt.
std::optional<std::string> readSmallFile(const std::filesystem::path& path);

// The file's first line, trimmed of surrounding white space; nullopt when absent or empty.
std::optional<std::string> readTrimmedLine(const std::filesystem::path& path);

// A decimal integer that fills the whole (trimmed) first line.
std::optional<std::int64_t> readInteger(const std::filesystem::path& path);

// `root` / `absolute`, where `absolute` is written as an absolute path ("/proc/stat").
std::filesystem::path underRoot(const std::filesystem::path& root, std::string_view absolute);

// `text` without surrounding blanks, tabs and line ends.
std::string_view trimmedText(std::string_view text);

// The lines of `text`, without their line ends; views into `text`.
std::vector<std::string_view> textLines(std::string_view text);

// The blank- or tab-separated fields of a line ("cpu  4705 150 1120 16250"); views into `line`.
std::vector<std::string_view> lineFields(std::string_view line);

// A "key: value" line split at the first `separator`, both sides trimmed ("model name\t: Intel…",
// "DRIVER=amdgpu"); nullopt without the separator.
std::optional<std::pair<std::string_view, std::string_view>> keyAndValue(std::string_view line,
                                                                         char separator);

// A number that fills the whole of `text` once trimmed; base 16 also takes a "0x" prefix.
template <typename T>
std::optional<T> parseNumber(std::string_view text, int base = 10) {
    text = trimmedText(text);
    if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) {
        text.remove_prefix(2);
    }
    T value{};
    std::from_chars_result result{};
    if constexpr (std::is_floating_point_v<T>) {
        result = std::from_chars(text.data(), text.data() + text.size(), value);
    } else {
        result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    }
    if (text.empty() || result.ec != std::errc{} || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace corvanta::platform
