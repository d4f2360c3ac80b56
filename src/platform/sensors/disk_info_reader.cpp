#include "platform/sensors/disk_info_reader.h"

#include <sys/vfs.h>

#include <array>
#include <string_view>

namespace corvanta::platform {

namespace {

struct FileSystemMagic {
    std::uint64_t magic;
    std::string_view name;
};

// From linux/magic.h and the file systems' own sources.
constexpr std::array<FileSystemMagic, 32> kFileSystems = {{
    {0xEF53, "ext4"},         {0x9123683E, "btrfs"},    {0x58465342, "xfs"},
    {0x2FC12FC1, "zfs"},      {0xCA451A4E, "bcachefs"}, {0xF2F52010, "f2fs"},
    {0x52654973, "reiserfs"}, {0x3153464A, "jfs"},      {0x3434, "nilfs2"},
    {0xE0F5E1E2, "erofs"},    {0x73717368, "squashfs"}, {0x28CD3D45, "cramfs"},
    {0x794C7630, "overlay"},  {0x01021994, "tmpfs"},    {0x858458F6, "ramfs"},
    {0x6969, "nfs"},          {0xFF534D42, "cifs"},     {0xFE534D42, "smb2"},
    {0x01021997, "9p"},       {0x65735546, "fuse"},     {0x00C36400, "ceph"},
    {0x01161970, "gfs2"},     {0x7461636F, "ocfs2"},    {0x4D44, "vfat"},
    {0x2011BAB0, "exfat"},    {0x5346544E, "ntfs"},     {0x7366746E, "ntfs3"},
    {0x4244, "hfs"},          {0x482B, "hfsplus"},      {0x9660, "iso9660"},
    {0x15013346, "udf"},      {0x24051905, "ubifs"},
}};

}  // namespace

DiskInfoReader::DiskInfoReader(std::filesystem::path mountPoint)
    : mountPoint_(std::move(mountPoint)) {}

std::optional<DiskInfo> DiskInfoReader::read() const {
    struct statfs fs {};
    if (statfs(mountPoint_.c_str(), &fs) != 0) {
        return std::nullopt;
    }
    DiskInfo info;
    // f_type is a signed word on some ABIs; the magic numbers are 32-bit patterns.
    info.fileSystemType = fileSystemName(static_cast<std::uint32_t>(fs.f_type));
    const auto unit = static_cast<std::uint64_t>(fs.f_frsize > 0 ? fs.f_frsize : fs.f_bsize);
    info.totalBytes = static_cast<std::uint64_t>(fs.f_blocks) * unit;
    return info;
}

std::optional<std::string> DiskInfoReader::fileSystemName(std::uint64_t magic) {
    for (const auto& entry : kFileSystems) {
        if (entry.magic == magic) {
            return std::string(entry.name);
        }
    }
    return std::nullopt;
}

}  // namespace corvanta::platform
