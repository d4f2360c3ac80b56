#include "platform/sensors/dmi_reader.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// Lower case; the fillers vendors use in SMBIOS strings they did not fill in.
constexpr std::array<std::string_view, 30> kPlaceholders = {
    "to be filled by o.e.m.",
    "to be filled by oem",
    "default string",
    "not specified",
    "not applicable",
    "not available",
    "none",
    "null",
    "oem",
    "o.e.m.",
    "invalid",
    "empty",
    "undefined",
    "unknown",
    "n/a",
    "na",
    "\xe2\x80\x94",  // em dash
    "system serial number",
    "system product name",
    "system manufacturer",
    "system name",
    "system version",
    "chassis serial number",
    "chassis manufacture",
    "base board serial number",
    "serial number",
    "sn",
    "0123456789",
    "123456789",
    "1234567890",
};

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

DmiReader::DmiReader(std::filesystem::path root) : dir_(underRoot(root, "/sys/class/dmi/id")) {}

DmiInfo DmiReader::read() const {
    const auto value = [this](const char* name) -> std::optional<std::string> {
        auto text = readTrimmedLine(dir_ / name);
        if (!text || isPlaceholder(*text)) {
            return std::nullopt;
        }
        return text;
    };
    DmiInfo info;
    info.sysVendor = value("sys_vendor");
    info.productName = value("product_name");
    info.productSerial = value("product_serial");
    info.productUuid = value("product_uuid");
    if (info.productUuid && isPlaceholderUuid(*info.productUuid)) {
        info.productUuid.reset();
    }
    return info;
}

bool DmiReader::isPlaceholder(std::string_view value) {
    const auto first = value.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return true;
    }
    value = value.substr(first, value.find_last_not_of(" \t\r\n") - first + 1);
    if (value.find_first_not_of(value.front()) == std::string_view::npos) {
        return true;
    }
    const std::string lower = lowerCase(value);
    return std::find(kPlaceholders.begin(), kPlaceholders.end(), lower) != kPlaceholders.end();
}

bool DmiReader::isPlaceholderUuid(std::string_view uuid) {
    std::string digits;
    for (const char c : uuid) {
        if (c != '-') {
            digits.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    if (digits.empty()) {
        return true;
    }
    if (digits.find_first_not_of('0') == std::string::npos ||
        digits.find_first_not_of('f') == std::string::npos) {
        return true;
    }
    return digits == "03000200040005000006000700080009";
}

}  // namespace corvanta::platform
