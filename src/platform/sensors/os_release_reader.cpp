#include "platform/sensors/os_release_reader.h"

#include "platform/sensors/shell_assignments.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

std::optional<std::string> field(const ShellAssignments& fields, std::string_view key) {
    const auto it = fields.find(key);
    if (it == fields.end()) {
        return std::nullopt;
    }
    const std::string_view value = trimmedText(it->second);
    if (value.empty()) {
        return std::nullopt;
    }
    return std::string(value);
}

}  // namespace

OsReleaseReader::OsReleaseReader(std::filesystem::path root) : root_(std::move(root)) {}

OsRelease OsReleaseReader::read() const {
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        const auto text = readSmallFile(underRoot(root_, file));
        if (!text) {
            continue;
        }
        const ShellAssignments fields = parseShellAssignments(*text);
        return OsRelease{field(fields, "PRETTY_NAME"), field(fields, "NAME"),
                         field(fields, "VERSION_ID")};
    }
    return {};
}

}  // namespace corvanta::platform
