#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

// Small whole-file reads for /proc and /sys entries. Every failure gives nullopt.
std::optional<std::string> readSmallFile(const std::filesystem::path& path);

// The file's first line, trimmed of surrounding white space; nullopt when absent or empty.
std::optional<std::string> readTrimmedLine(const std::filesystem::path& path);

// A decimal integer that fills the whole (trimmed) first line.
std::optional<std::int64_t> readInteger(const std::filesystem::path& path);

// `root` / `absolute`, where `absolute` is written as an absolute path ("/proc/stat").
std::filesystem::path underRoot(const std::filesystem::path& root, std::string_view absolute);

}  // namespace corvanta::platform
