#include "platform/sensors/mem_info_reader.h"

#include <algorithm>
#include <sstream>
#include <string>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

MemInfoReader::MemInfoReader(std::filesystem::path root)
    : path_(underRoot(root, "/proc/meminfo")) {}

std::optional<MemInfo> MemInfoReader::read() const {
    const auto text = readSmallFile(path_);
    if (!text) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> totalKiB;
    std::optional<std::uint64_t> availableKiB;
    std::uint64_t freeKiB = 0;
    std::uint64_t buffersKiB = 0;
    std::uint64_t cachedKiB = 0;

    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t kib = 0;
        if (!(fields >> key >> kib)) {
            continue;
        }
        if (key == "MemTotal:") {
            totalKiB = kib;
        } else if (key == "MemAvailable:") {
            availableKiB = kib;
        } else if (key == "MemFree:") {
            freeKiB = kib;
        } else if (key == "Buffers:") {
            buffersKiB = kib;
        } else if (key == "Cached:") {
            cachedKiB = kib;
        }
    }
    if (!totalKiB || *totalKiB == 0) {
        return std::nullopt;
    }
    const std::uint64_t available = availableKiB.value_or(freeKiB + buffersKiB + cachedKiB);
    MemInfo info;
    info.totalBytes = *totalKiB * 1024;
    info.availableBytes = std::min(available, *totalKiB) * 1024;
    return info;
}

}  // namespace corvanta::platform
