#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

// The name the user gave the machine: machine-info's PRETTY_HOSTNAME when set, else the kernel's
// host name.
class HostNameReader {
public:
    explicit HostNameReader(std::filesystem::path root = "/");

    // nullopt when neither is set.
    std::optional<std::string> read() const;

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
