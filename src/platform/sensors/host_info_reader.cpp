#include "platform/sensors/host_info_reader.h"

#include <sys/utsname.h>

#include <thread>

#include "platform/sensors/cpu_info_reader.h"
#include "platform/sensors/disk_info_reader.h"
#include "platform/sensors/host_name_reader.h"
#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/os_release_reader.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

constexpr const char* kUnknown = "Unknown";

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
    info.cpuModel = CpuInfoReader(root_).read().modelName.value_or(kUnknown);
    info.cpuCoreCount = static_cast<int>(std::thread::hardware_concurrency());
    if (const auto memory = MemInfoReader(root_).read()) {
        info.memoryTotal = memory->totalBytes;
    }
    if (const auto disk = DiskInfoReader(root_).read()) {
        info.diskTotal = disk->totalBytes;
    }
    info.osVersion = osVersion(root_, hasSystem ? &system : nullptr);
    info.architecture = hasSystem && system.machine[0] != '\0' ? system.machine : kUnknown;
    info.modelIdentifier =
        readTrimmedLine(underRoot(root_, "/sys/class/dmi/id/product_name")).value_or(kUnknown);
    info.hostname = HostNameReader(root_).read().value_or(kUnknown);
    return info;
}

}  // namespace corvanta::platform
