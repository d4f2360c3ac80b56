#pragma once

#include <filesystem>
#include <optional>

namespace corvanta::platform {

// Ten-second averages of the memory pressure stall information, in percent of wall time.
struct PressureStall {
    double someAvg10 = 0.0;
    double fullAvg10 = 0.0;
};

// Reads /proc/pressure/memory. Kernels built without PSI, or booted with psi=0, have no file.
class PressureStallReader {
public:
    explicit PressureStallReader(std::filesystem::path root = "/");

    // nullopt unless the "some" line is present; a missing "full" line counts as 0.
    std::optional<PressureStall> read() const;

private:
    std::filesystem::path path_;
};

}  // namespace corvanta::platform
