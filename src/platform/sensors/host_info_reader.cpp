#include "platform/sensors/host_info_reader.h"

#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <sstream>
#include <thread>

#include "platform/sensors/mem_info_reader.h"
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

// The value of `key` in a shell-style KEY=VALUE file (os-release, machine-info), unquoted.
std::optional<std::string> assignmentValue(const std::filesystem::path& path,
                                           std::string_view key) {
    const auto text = readSmallFile(path);
    if (!text) {
        return std::nullopt;
    }
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos || trimmed(line.substr(0, eq)) != key) {
            continue;
        }
        const std::string raw = trimmed(line.substr(eq + 1));
        std::string value;
        if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') &&
            raw.back() == raw.front()) {
            const bool doubleQuoted = raw.front() == '"';
            for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
                if (doubleQuoted && raw[i] == '\\' && i + 2 < raw.size()) {
                    ++i;
                }
                value.push_back(raw[i]);
            }
        } else {
            value = raw;
        }
        value = trimmed(value);
        if (value.empty()) {
            return std::nullopt;
        }
        return value;
    }
    return std::nullopt;
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
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        if (auto pretty = assignmentValue(underRoot(root, file), "PRETTY_NAME")) {
            return *pretty;
        }
    }
    if (system) {
        return std::string(system->sysname) + " " + system->release;
    }
    return kUnknown;
}

std::string hostName(const std::filesystem::path& root) {
    if (auto pretty = assignmentValue(underRoot(root, "/etc/machine-info"), "PRETTY_HOSTNAME")) {
        return *pretty;
    }
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (gethostname(name.data(), name.size() - 1) == 0 && name[0] != '\0') {
        return name.data();
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
    info.hostname = hostName(root_);
    return info;
}

}  // namespace corvanta::platform
