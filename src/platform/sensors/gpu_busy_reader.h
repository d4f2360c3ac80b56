#pragma once

#include <filesystem>
#include <memory>
#include <vector>

namespace corvanta::platform {

class NvmlLibrary;

// Graphics processor utilisation: the kernel's gpu_busy_percent (amdgpu and others) when any card
// has it, else NVIDIA's management library when it is installed, else 0.
class GpuBusyReader {
public:
    // The card list is taken once here, and NVML is only loaded when no card reports its load.
    // `allowNvml` false keeps tests on fixture trees independent of the host's driver.
    explicit GpuBusyReader(std::filesystem::path root = "/", bool allowNvml = true);
    ~GpuBusyReader();
    GpuBusyReader(GpuBusyReader&&) noexcept;
    GpuBusyReader& operator=(GpuBusyReader&&) noexcept;

    // The busiest card's load in percent, within 0 and 100; 0 when nothing can be read.
    double read() const;

private:
    std::vector<std::filesystem::path> busyFiles_;
    std::unique_ptr<NvmlLibrary> nvml_;
};

}  // namespace corvanta::platform
