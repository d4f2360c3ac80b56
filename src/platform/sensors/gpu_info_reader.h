#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

struct GpuInfo {
    std::string name;    // "NVIDIA GeForce RTX 4070", or "AMD GPU [1002:73bf]" from DRM alone
    std::string vendor;  // "NVIDIA Corporation", "AMD"; empty when unknown
    std::optional<std::uint64_t> memoryBytes;  // dedicated memory; nullopt when unknown
};

struct GpuInfoOptions {
    bool useOpenCl = true;
    // Also describe a CPU device when OpenCL has no GPU, as the engine does when
    // CORVANTA_OPENCL_DEVICE=any (PoCL in CI).
    bool acceptCpuDevices = false;

    // useOpenCl on, acceptCpuDevices from CORVANTA_OPENCL_DEVICE.
    static GpuInfoOptions fromEnvironment();
};

// Names the graphics processor the engine would compute on.
//
// OpenCL first: the first GPU device of any platform, with its name (AMD's board name when the
// driver offers it), vendor and global memory size. Without an OpenCL GPU, the DRM cards in
// /sys/class/drm: PCI vendor and device ids, amdgpu's mem_info_vram_total, the driver name for
// cards that are not PCI devices. A card of a known GPU vendor wins over a display-only
// controller (a server's BMC), then the one with the most video memory.
class GpuInfoReader {
public:
    explicit GpuInfoReader(std::filesystem::path root = "/", GpuInfoOptions options = {});

    // nullopt when no graphics processor was found.
    std::optional<GpuInfo> read() const;

    std::optional<GpuInfo> readOpenCl() const;
    std::optional<GpuInfo> readDrm() const;

private:
    std::filesystem::path root_;
    GpuInfoOptions options_;
};

}  // namespace corvanta::platform
