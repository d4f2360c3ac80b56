#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace corvanta::platform {

// The client's own resident set size, from VmRSS in /proc/self/status.
class ProcessMemoryReader {
public:
    explicit ProcessMemoryReader(std::filesystem::path root = "/");

    // Bytes; nullopt when the file or the line is missing.
    std::optional<std::uint64_t> residentBytes() const;

private:
    std::filesystem::path path_;
};

}  // namespace corvanta::platform
