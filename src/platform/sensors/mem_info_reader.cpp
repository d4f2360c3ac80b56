#include "platform/sensors/mem_info_reader.h"

#include <algorithm>
#include <string_view>
#include <vector>

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

    for (const std::string_view line : textLines(*text)) {
        // "MemTotal:       16314248 kB"
        const auto field = keyAndValue(line, ':');
        if (!field) {
            continue;
        }
        const std::vector<std::string_view> value = lineFields(field->second);
        const auto kib = value.empty() ? std::nullopt : parseNumber<std::uint64_t>(value[0]);
        if (!kib) {
            continue;
        }
        const std::string_view key = field->first;
        if (key == "MemTotal") {
            totalKiB = kib;
        } else if (key == "MemAvailable") {
            availableKiB = kib;
        } else if (key == "MemFree") {
            freeKiB = *kib;
        } else if (key == "Buffers") {
            buffersKiB = *kib;
        } else if (key == "Cached") {
            cachedKiB = *kib;
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
