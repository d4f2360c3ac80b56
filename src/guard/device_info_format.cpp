#include "guard/device_info_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <regex>
#include <system_error>

namespace corvanta::guard {

namespace {

constexpr double kBytesToGigabytes = 9.313225746154785e-10;  // 1 / 2^30

std::string fixed(double value, int decimals) {
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            std::chars_format::fixed, decimals);
    if (error != std::errc{}) {
        return "0";
    }
    return std::string(buffer.data(), end);
}

std::string lowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// An optional sign and digits only, within 64 bits: the integer's decimal text.
std::optional<std::string> signedInteger(std::string_view text) {
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.starts_with('-')) {
            return std::nullopt;
        }
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return std::to_string(value);
}

struct ImagePrefix {
    std::string_view prefix;
    std::string_view image;  // empty: look the exact identifier up
};

// First match wins, so the longer "MacBook…" names come before "MacBook" and "Mac" comes last.
constexpr std::array<ImagePrefix, 9> kImagePrefixes = {{
    {"MacBookPro", "macbook-pro"},
    {"MacBookAir", "macbook-air"},
    {"MacBookNeo", "macbook-neo"},
    {"MacBook", "macbook-neo"},
    {"iMac", "imac"},
    {"Macmini", "mac-mini"},
    {"MacStudio", "mac-studio"},
    {"MacPro", "mac-pro"},
    {"Mac", ""},
}};

struct ImageFamily {
    std::string_view image;
    std::string_view identifiers;  // separated by single spaces
};

// Apple's newer machines are all "MacNN,N", so the family has to be looked up per identifier.
constexpr std::array<ImageFamily, 7> kImageFamilies = {{
    {"macbook-air", "Mac14,2 Mac15,12 Mac15,13 Mac16,12 Mac16,13"},
    {"macbook-pro",
     "Mac14,5 Mac14,6 Mac14,7 Mac14,9 Mac14,10 Mac14,11 Mac14,12 Mac15,3 Mac15,6 Mac15,7 "
     "Mac15,8 Mac15,9 Mac15,10 Mac15,11 Mac16,1 Mac16,5 Mac16,6 Mac16,7 Mac17,1 Mac17,2 "
     "Mac17,3 Mac17,4 Mac17,5 Mac17,6"},
    {"macbook-neo", "Mac17,8 MacBook10,1"},
    {"imac", "Mac15,4 Mac15,5 Mac16,2 Mac16,3"},
    {"mac-mini", "Mac14,3 Mac14,4 Mac16,10 Mac16,11"},
    {"mac-studio", "Mac13,1 Mac13,2 Mac14,13 Mac14,14 Mac15,14 Mac16,9"},
    {"mac-pro", "Mac14,8"},
}};

bool listContains(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        const auto space = list.find(' ');
        if (list.substr(0, space) == word) {
            return true;
        }
        list = space == std::string_view::npos ? std::string_view{} : list.substr(space + 1);
    }
    return false;
}

}  // namespace

std::optional<std::string> normalisedValue(std::string_view raw) {
    constexpr std::string_view kSpace = " \t\r\n\v\f";
    const auto first = raw.find_first_not_of(kSpace);
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view value = raw.substr(first, raw.find_last_not_of(kSpace) - first + 1);
    const std::string lower = lowerCase(value);
    if (lower == kUnavailableText || lower == "-" || lower == "unknown" || lower == "n/a") {
        return std::nullopt;
    }
    return std::string(value);
}

std::string gigabytesText(std::optional<std::uint64_t> bytes) {
    if (!bytes || *bytes < 1) {
        return std::string(kUnavailableText);
    }
    return fixed(static_cast<double>(*bytes) * kBytesToGigabytes, 2) + " GB";
}

std::string cpuSpeedText(std::optional<std::uint64_t> maxHz, std::optional<std::uint64_t> currentHz,
                         std::string_view brand, int physicalCores, int logicalCores,
                         std::string_view coresSuffix) {
    std::uint64_t hz = maxHz.value_or(0);
    if (hz < 1) {
        hz = currentHz.value_or(0);
    }
    if (hz >= 1) {
        return fixed(static_cast<double>(hz) / 1e9, 1) + " GHz";
    }
    static const std::regex kGigahertz(R"((\d+\.?\d*)\s*GHz)");
    std::match_results<std::string_view::const_iterator> match;
    if (std::regex_search(brand.begin(), brand.end(), match, kGigahertz)) {
        return match.str(0);
    }
    return std::to_string(physicalCores) + "/" + std::to_string(logicalCores) +
           std::string(coresSuffix);
}

std::string gpuMemoryText(const std::optional<std::string>& found,
                          std::optional<std::uint64_t> sharedMemoryBytes) {
    if (found) {
        if (found->find("MB") != std::string::npos || found->find("GB") != std::string::npos) {
            return *found;
        }
        if (const auto megabytes = signedInteger(*found)) {
            return *megabytes + " MB";
        }
        return *found;
    }
    return gigabytesText(sharedMemoryBytes);
}

std::string diskTypeName(std::string_view typeName) {
    if (typeName.find("apfs") != std::string_view::npos ||
        typeName.find("APFS") != std::string_view::npos) {
        return "APFS";
    }
    if (typeName.find("hfs") != std::string_view::npos) {
        return "HFS+";
    }
    return std::string(typeName);
}

std::optional<std::string> productImageName(std::string_view modelIdentifier) {
    for (const auto& rule : kImagePrefixes) {
        if (!modelIdentifier.starts_with(rule.prefix)) {
            continue;
        }
        if (!rule.image.empty()) {
            return std::string(rule.image);
        }
        for (const auto& family : kImageFamilies) {
            if (!modelIdentifier.empty() && listContains(family.identifiers, modelIdentifier)) {
                return std::string(family.image);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace corvanta::guard
