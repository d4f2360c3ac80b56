#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The text rules of the machine description, kept apart from the readers so each rule can be
// checked on its own.
namespace corvanta::guard {

// What the device page shows for a value that cannot be read: an em dash.
inline constexpr std::string_view kUnavailableText = "\xe2\x80\x94";

// Every raw string from the system passes this: trimmed, and absent when empty or when it says
// nothing ("—", "-", "unknown", "n/a" in any case). Case is kept.
std::optional<std::string> normalisedValue(std::string_view raw);

// Bytes as gigabytes of 2^30 with two decimals, "15.53 GB"; "—" when missing or 0. Independent
// of the C locale, which Qt sets from the environment.
std::string gigabytesText(std::optional<std::uint64_t> bytes);

// The processor speed: the maximum clock, else the current one, as "3.2 GHz"; else the first
// "<number> GHz" in the brand ("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz" gives "3.20GHz"); else
// the core counts, "8/16" followed by `coresSuffix`.
std::string cpuSpeedText(std::optional<std::uint64_t> maxHz, std::optional<std::uint64_t> currentHz,
                         std::string_view brand, int physicalCores, int logicalCores,
                         std::string_view coresSuffix);

// Graphics memory: a value already carrying "MB" or "GB" stays as it is, a whole number is
// taken as megabytes ("8192" → "8192 MB"), anything else stays; with no value, the shared
// system memory in gigabytes, else "—".
std::string gpuMemoryText(const std::optional<std::string>& found,
                          std::optional<std::uint64_t> sharedMemoryBytes);

// "APFS" and "HFS+" for Apple's file systems, the type name itself for the rest.
std::string diskTypeName(std::string_view typeName);

// The product image for a Mac model identifier ("MacBookPro18,3" → "macbook-pro"); nullopt for
// anything else, which is every PC.
std::optional<std::string> productImageName(std::string_view modelIdentifier);

}  // namespace corvanta::guard
