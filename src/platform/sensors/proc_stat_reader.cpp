#include "platform/sensors/proc_stat_reader.h"

#include <sstream>
#include <string>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

std::uint64_t advanced(std::uint64_t previous, std::uint64_t current) {
    return current > previous ? current - previous : 0;
}

}  // namespace

ProcStatReader::ProcStatReader(std::filesystem::path root) : path_(underRoot(root, "/proc/stat")) {}

std::optional<CpuTicks> ProcStatReader::read() const {
    const auto text = readSmallFile(path_);
    if (!text) {
        return std::nullopt;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string label;
        fields >> label;
        if (label != "cpu") {
            continue;
        }
        CpuTicks ticks;
        if (!(fields >> ticks.user >> ticks.nice >> ticks.system >> ticks.idle)) {
            return std::nullopt;
        }
        return ticks;
    }
    return std::nullopt;
}

double ProcStatReader::usagePercent(const CpuTicks& previous, const CpuTicks& current) {
    const std::uint64_t user = advanced(previous.user, current.user);
    const std::uint64_t nice = advanced(previous.nice, current.nice);
    const std::uint64_t system = advanced(previous.system, current.system);
    const std::uint64_t idle = advanced(previous.idle, current.idle);
    const std::uint64_t total = user + nice + system + idle;
    if (total < 1 || current.user < 1) {
        return 0.0;
    }
    return static_cast<double>(user + system + nice) / static_cast<double>(total) * 100.0;
}

}  // namespace corvanta::platform
