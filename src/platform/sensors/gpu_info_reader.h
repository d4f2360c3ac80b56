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

// The graphics processors the kernel's DRM driver knows: the cards in /sys/class/drm with their
// PCI vendor and device ids, amdgpu's mem_info_vram_total, the driver name for cards that are not
// PCI devices. A card of a known GPU vendor wins over a display-only controller (a server's BMC),
// then the one with the most video memory. The engine's OpenCL device, where there is one, names
// the GPU better (guard/device_info_collector.h); this is what describes a machine without one.
class GpuInfoReader {
public:
    explicit GpuInfoReader(std::filesystem::path root = "/");

    // nullopt when no graphics processor was found.
    std::optional<GpuInfo> read() const;

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
