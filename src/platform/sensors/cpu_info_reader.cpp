#include "platform/sensors/cpu_info_reader.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// A clock rate in MHz ("3400.000"), finite.
std::optional<double> parseDecimal(std::string_view text) {
    const auto value = parseNumber<double>(text);
    return value && std::isfinite(*value) ? value : std::nullopt;
}

// "cpu0" … "cpu127", not "cpufreq" or "cpuidle".
bool isCpuDirectory(const std::string& name) {
    return name.size() > 3 && name.starts_with("cpu") &&
           std::all_of(name.begin() + 3, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::vector<std::filesystem::path> cpuDirectories(const std::filesystem::path& root) {
    std::vector<std::filesystem::path> dirs;
    std::error_code error;
    std::filesystem::directory_iterator it(underRoot(root, "/sys/devices/system/cpu"), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (isCpuDirectory(it->path().filename().string())) {
            dirs.push_back(it->path());
        }
    }
    return dirs;
}

// "0-3,6,8-9" → 7.
int countCpuList(std::string_view list) {
    int count = 0;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view part = trimmedText(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        const auto dash = part.find('-');
        const auto first = parseNumber<int>(part.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : parseNumber<int>(part.substr(dash + 1));
        if (first && last && *last >= *first) {
            count += *last - *first + 1;
        }
    }
    return count;
}

}  // namespace

CpuInfoReader::CpuInfoReader(std::filesystem::path root) : root_(std::move(root)) {}

CpuInfo CpuInfoReader::read() const {
    CpuInfo info;
    std::set<std::pair<std::string, std::string>> cores;

    if (const auto text = readSmallFile(underRoot(root_, "/proc/cpuinfo"))) {
        // Empty until the current processor's entry names them.
        std::string physicalId;
        std::string coreId;
        const auto finishProcessor = [&] {
            if (!physicalId.empty() && !coreId.empty()) {
                cores.emplace(physicalId, coreId);
            }
            physicalId.clear();
            coreId.clear();
        };
        for (const std::string_view line : textLines(*text)) {
            const auto field = keyAndValue(line, ':');
            if (!field) {
                continue;
            }
            const auto [key, value] = *field;
            if (key == "processor" && parseNumber<int>(value)) {
                finishProcessor();
                ++info.logicalCores;
            } else if (key == "physical id") {
                physicalId = std::string(value);
            } else if (key == "core id") {
                coreId = std::string(value);
            } else if (key == "model name" && !info.modelName && !value.empty()) {
                info.modelName = std::string(value);
            } else if (key == "vendor_id" && !info.vendorId && !value.empty()) {
                info.vendorId = std::string(value);
            } else if (key == "CPU implementer" && !info.implementer) {
                info.implementer = parseNumber<unsigned>(value, 16);
            } else if (key == "cpu MHz" && !info.currentFrequencyHz) {
                if (const auto mhz = parseDecimal(value); mhz && *mhz > 0.0) {
                    info.currentFrequencyHz = static_cast<std::uint64_t>(std::llround(*mhz * 1e6));
                }
            }
        }
        finishProcessor();
    }

    std::set<std::string> siblingSets;
    for (const auto& dir : cpuDirectories(root_)) {
        if (const auto khz = readInteger(dir / "cpufreq" / "cpuinfo_max_freq"); khz && *khz > 0) {
            const auto hz = static_cast<std::uint64_t>(*khz) * 1000;
            info.maxFrequencyHz = std::max(info.maxFrequencyHz.value_or(0), hz);
        }
        for (const char* file : {"core_cpus_list", "thread_siblings_list"}) {
            if (auto siblings = readTrimmedLine(dir / "topology" / file)) {
                siblingSets.insert(std::move(*siblings));
                break;
            }
        }
    }

    if (!cores.empty()) {
        info.physicalCores = static_cast<int>(cores.size());
    } else {
        info.physicalCores = static_cast<int>(siblingSets.size());
    }
    if (info.logicalCores == 0) {
        if (const auto online =
                readTrimmedLine(underRoot(root_, "/sys/devices/system/cpu/online"))) {
            info.logicalCores = countCpuList(*online);
        }
    }
    return info;
}

}  // namespace corvanta::platform
