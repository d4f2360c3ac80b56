#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

// Facts about the machine that do not change while the client runs.
struct HostInfo {
    std::string cpuModel;                    // /proc/cpuinfo "model name"; "Unknown" if absent
    int cpuCoreCount = 0;                    // logical processors
    std::uint64_t memoryTotal = 0;           // bytes; 0 if unreadable
    std::optional<std::uint64_t> diskTotal;  // bytes of the file system holding the root
    std::string osVersion;        // os-release PRETTY_NAME, else "Linux <kernel release>"
    std::string architecture;     // uname machine; "Unknown" if absent
    std::string modelIdentifier;  // DMI product_name; "Unknown" if absent
    std::string hostname;         // pretty host name, else the host name; "Unknown"
};

class HostInfoReader {
public:
    explicit HostInfoReader(std::filesystem::path root = "/");

    HostInfo read() const;

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
