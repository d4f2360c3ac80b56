#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

struct DiskInfo {
    std::optional<std::string> fileSystemType;  // "ext4", "btrfs"; nullopt for unknown magics
    std::uint64_t totalBytes = 0;
};

// statfs of the file system holding a path ("/" for the system disk). Linux's statfs gives the
// type only as the superblock magic number, so the name comes from a table of the file systems a
// desktop root can plausibly sit on. ext2, ext3 and ext4 share one magic and are all "ext4".
class DiskInfoReader {
public:
    explicit DiskInfoReader(std::filesystem::path mountPoint = "/");

    // nullopt when statfs fails.
    std::optional<DiskInfo> read() const;

    static std::optional<std::string> fileSystemName(std::uint64_t magic);

private:
    std::filesystem::path mountPoint_;
};

}  // namespace corvanta::platform
