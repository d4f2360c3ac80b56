#include "platform/sensors/process_memory_reader.h"

#include <sstream>
#include <string>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

ProcessMemoryReader::ProcessMemoryReader(std::filesystem::path root)
    : path_(underRoot(root, "/proc/self/status")) {}

std::optional<std::uint64_t> ProcessMemoryReader::residentBytes() const {
    const auto text = readSmallFile(path_);
    if (!text) {
        return std::nullopt;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        std::uint64_t kib = 0;
        std::string unit;
        if (fields >> key >> kib >> unit && key == "VmRSS:" && unit == "kB") {
            return kib * 1024;
        }
    }
    return std::nullopt;
}

}  // namespace corvanta::platform
