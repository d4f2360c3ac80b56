#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace corvanta::platform {

// Aggregate processor time of all cores, in clock ticks since boot.
struct CpuTicks {
    std::uint64_t user = 0;
    std::uint64_t nice = 0;
    std::uint64_t system = 0;
    std::uint64_t idle = 0;

    bool operator==(const CpuTicks&) const = default;
};

// Reads the "cpu" line of /proc/stat.
class ProcStatReader {
public:
    explicit ProcStatReader(std::filesystem::path root = "/");

    std::optional<CpuTicks> read() const;

    // Busy share in percent between two readings, 0 when no time passed or the counters went
    // backwards (a core taken offline removes its ticks from the aggregate line).
    static double usagePercent(const CpuTicks& previous, const CpuTicks& current);

private:
    std::filesystem::path path_;
};

}  // namespace corvanta::platform
