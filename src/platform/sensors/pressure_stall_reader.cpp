#include "platform/sensors/pressure_stall_reader.h"

#include <sstream>
#include <string>

#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// Finds "avg10=<value>" among the fields of one PSI line.
std::optional<double> avg10Of(std::istringstream& fields) {
    std::string field;
    while (fields >> field) {
        constexpr std::string_view prefix = "avg10=";
        if (field.rfind(prefix, 0) == 0) {
            try {
                return std::stod(field.substr(prefix.size()));
            } catch (const std::exception&) {
                return std::nullopt;
            }
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
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "some") {
            some = avg10Of(fields);
        } else if (kind == "full") {
            full = avg10Of(fields);
        }
    }
    if (!some) {
        return std::nullopt;
    }
    return PressureStall{*some, full.value_or(0.0)};
}

}  // namespace corvanta::platform
