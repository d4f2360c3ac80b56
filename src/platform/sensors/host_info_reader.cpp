#include "platform/sensors/host_info_reader.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>

#include <sstream>
#include <thread>

#include "platform/sensors/host_name_reader.h"
#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/os_release_reader.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

constexpr const char* kUnknown = "Unknown";

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string cpuModelName(const std::filesystem::path& root) {
    const auto text = readSmallFile(underRoot(root, "/proc/cpuinfo"));
    if (!text) {
        return kUnknown;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto colon = line.find(':');
        if (colon != std::string::npos && trimmed(line.substr(0, colon)) == "model name") {
            const std::string value = trimmed(line.substr(colon + 1));
            return value.empty() ? kUnknown : value;
        }
    }
    return kUnknown;
}

std::string osVersion(const std::filesystem::path& root, const utsname* system) {
    if (auto pretty = OsReleaseReader(root).read().prettyName) {
        return *pretty;
    }
    if (system) {
        return std::string(system->sysname) + " " + system->release;
    }
    return kUnknown;
}

}  // namespace

HostInfoReader::HostInfoReader(std::filesystem::path root) : root_(std::move(root)) {}

HostInfo HostInfoReader::read() const {
    utsname system{};
    const bool hasSystem = uname(&system) == 0;

    HostInfo info;
    info.cpuModel = cpuModelName(root_);
    info.cpuCoreCount = static_cast<int>(std::thread::hardware_concurrency());
    if (const auto memory = MemInfoReader(root_).read()) {
        info.memoryTotal = memory->totalBytes;
    }
    struct statvfs disk {};
    if (statvfs(root_.c_str(), &disk) == 0) {
        info.diskTotal = static_cast<std::uint64_t>(disk.f_blocks) * disk.f_frsize;
    }
    info.osVersion = osVersion(root_, hasSystem ? &system : nullptr);
    info.architecture = hasSystem && system.machine[0] != '\0' ? system.machine : kUnknown;
    info.modelIdentifier =
        readTrimmedLine(underRoot(root_, "/sys/class/dmi/id/product_name")).value_or(kUnknown);
    info.hostname = HostNameReader(root_).read().value_or(kUnknown);
    return info;
}

}  // namespace corvanta::platform
