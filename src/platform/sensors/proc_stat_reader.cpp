#include "platform/sensors/proc_stat_reader.h"

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
    for (const std::string_view line : textLines(*text)) {
        const std::vector<std::string_view> fields = lineFields(line);
        if (fields.empty() || fields[0] != "cpu") {
            continue;
        }
        if (fields.size() < 5) {
            return std::nullopt;
        }
        const auto user = parseNumber<std::uint64_t>(fields[1]);
        const auto nice = parseNumber<std::uint64_t>(fields[2]);
        const auto system = parseNumber<std::uint64_t>(fields[3]);
        const auto idle = parseNumber<std::uint64_t>(fields[4]);
        if (!user || !nice || !system || !idle) {
            return std::nullopt;
        }
        return CpuTicks{*user, *nice, *system, *idle};
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
