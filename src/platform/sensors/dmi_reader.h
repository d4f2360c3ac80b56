#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvanta::platform {

// The firmware's description of the machine (SMBIOS through /sys/class/dmi/id). Each value is
// trimmed, and nullopt when the file is missing, unreadable (product_serial and product_uuid are
// readable by root only) or holds one of the fillers board makers leave in place.
struct DmiInfo {
    std::optional<std::string> sysVendor;      // "LENOVO", "Dell Inc.", "QEMU"
    std::optional<std::string> productName;    // "20XW0026GE", "MacBookPro11,5"
    std::optional<std::string> productSerial;  // "PF2ABCDE"
    std::optional<std::string> productUuid;    // "4c4c4544-0042-…"
};

class DmiReader {
public:
    explicit DmiReader(std::filesystem::path root = "/");

    DmiInfo read() const;

    // True for values that name nothing: "To Be Filled By O.E.M.", "Default string",
    // "System Serial Number", "Not Specified", one character repeated ("0", "00000000",
    // "........"), and the like; compared without regard to case.
    static bool isPlaceholder(std::string_view value);

    // True for UUIDs with no information in them: all digits 0 or all F, and the sequence
    // 03000200-0400-0500-0006-000700080009 that several BIOSes ship.
    static bool isPlaceholderUuid(std::string_view uuid);

private:
    std::filesystem::path dir_;
};

}  // namespace corvanta::platform
