#include "platform/sensors/process_memory_reader.h"

#include <string_view>
#include <vector>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

ProcessMemoryReader::ProcessMemoryReader(std::filesystem::path root)
    : path_(underRoot(root, "/proc/self/status")) {}

std::optional<std::uint64_t> ProcessMemoryReader::residentBytes() const {
    const auto text = readSmallFile(path_);
    if (!text) {
        return std::nullopt;
    }
    for (const std::string_view line : textLines(*text)) {
        // "VmRSS:\t  123456 kB"
        const auto field = keyAndValue(line, ':');
        if (!field || field->first != "VmRSS") {
            continue;
        }
        const std::vector<std::string_view> value = lineFields(field->second);
        if (value.size() == 2 && value[1] == "kB") {
            if (const auto kib = parseNumber<std::uint64_t>(value[0])) {
                return *kib * 1024;
            }
        }
    }
    return std::nullopt;
}

}  // namespace corvanta::platform
