#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

// The fields of os-release(5) the client shows; each is nullopt when missing or blank.
struct OsRelease {
    std::optional<std::string> prettyName;  // PRETTY_NAME, "Debian GNU/Linux 12 (bookworm)"
    std::optional<std::string> name;        // NAME, "Debian GNU/Linux"
    std::optional<std::string> versionId;   // VERSION_ID, "12"
};

// Reads /etc/os-release, or /usr/lib/os-release when the former does not exist.
class OsReleaseReader {
public:
    explicit OsReleaseReader(std::filesystem::path root = "/");

    OsRelease read() const;

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
