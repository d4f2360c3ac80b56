#include "guard/device_info_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <regex>
#include <system_error>

#include "engine/foreign_platform_words.h"

namespace corvanta::guard {

namespace {

namespace foreign_words = engine::foreign_words;

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
    for (const auto& rule : foreign_words::kProductImagePrefixes) {
        if (!modelIdentifier.starts_with(rule.prefix)) {
            continue;
        }
        if (!rule.image.empty()) {
            return std::string(rule.image);
        }
        for (const auto& family : foreign_words::kProductImageFamilies) {
            if (!modelIdentifier.empty() && listContains(family.identifiers, modelIdentifier)) {
                return std::string(family.image);
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace corvanta::guard
