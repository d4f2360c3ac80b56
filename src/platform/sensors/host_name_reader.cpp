#include "platform/sensors/host_name_reader.h"

#include <unistd.h>

#include <array>
#include <climits>

#include "platform/sensors/shell_assignments.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

HostNameReader::HostNameReader(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<std::string> HostNameReader::read() const {
    if (const auto text = readSmallFile(underRoot(root_, "/etc/machine-info"))) {
        const ShellAssignments fields = parseShellAssignments(*text);
        const auto pretty = fields.find("PRETTY_HOSTNAME");
        if (pretty != fields.end()) {
            if (const std::string_view value = trimmedText(pretty->second); !value.empty()) {
                return std::string(value);
            }
        }
    }
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (gethostname(name.data(), name.size() - 1) == 0 && name[0] != '\0') {
        return std::string(name.data());
    }
    return std::nullopt;
}

}  // namespace corvanta::platform
