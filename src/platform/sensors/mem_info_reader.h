#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace corvanta::platform {

struct MemInfo {
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
};

// Reads MemTotal and MemAvailable from /proc/meminfo.
class MemInfoReader {
public:
    explicit MemInfoReader(std::filesystem::path root = "/");

    // nullopt unless MemTotal is present and above 0. Kernels without MemAvailable (before 3.14)
    // count MemFree + Buffers + Cached as available instead.
    std::optional<MemInfo> read() const;

private:
    std::filesystem::path path_;
};

}  // namespace corvanta::platform
