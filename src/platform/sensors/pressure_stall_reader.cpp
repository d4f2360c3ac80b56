#include "platform/sensors/pressure_stall_reader.h"

#include <string_view>
#include <vector>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// The value of "avg10=<value>" among the fields of one PSI line, after its kind.
std::optional<double> avg10Of(const std::vector<std::string_view>& fields) {
    constexpr std::string_view prefix = "avg10=";
    for (std::size_t i = 1; i < fields.size(); ++i) {
        if (fields[i].starts_with(prefix)) {
            return parseNumber<double>(fields[i].substr(prefix.size()));
        }
    }
    return std::nullopt;
}

}  // namespace

PressureStallReader::PressureStallReader(std::filesystem::path root)
    : path_(underRoot(root, "/proc/pressure/memory")) {}

std::optional<PressureStall> PressureStallReader::read() const {
    const auto text = readSmallFile(path_);
    if (!text) {
        return std::nullopt;
    }
    std::optional<double> some;
    std::optional<double> full;
    for (const std::string_view line : textLines(*text)) {
        // "some avg10=0.00 avg60=0.00 avg300=0.00 total=0"
        const std::vector<std::string_view> fields = lineFields(line);
        if (fields.empty()) {
            continue;
        }
        if (fields[0] == "some") {
            some = avg10Of(fields);
        } else if (fields[0] == "full") {
            full = avg10Of(fields);
        }
    }
    if (!some) {
        return std::nullopt;
    }
    return PressureStall{*some, full.value_or(0.0)};
}

}  // namespace corvanta::platform
