#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace corvanta::platform {

struct CpuInfo {
    std::optional<std::string> modelName;  // "model name"; x86 and 32-bit ARM kernels only
    std::optional<std::string> vendorId;   // x86 "vendor_id": "GenuineIntel", "AuthenticAMD"
    std::optional<unsigned> implementer;   // ARM "CPU implementer": 0x41 Arm, 0x61 Apple, …
    // The fastest core's cpufreq cpuinfo_max_freq; nullopt without a cpufreq driver (VMs).
    std::optional<std::uint64_t> maxFrequencyHz;
    // The first processor's "cpu MHz" (x86): the current clock, or the TSC rate in a VM.
    std::optional<std::uint64_t> currentFrequencyHz;
    int physicalCores = 0;  // 0 when unknown
    int logicalCores = 0;   // online logical processors; 0 when unknown
};

// Reads /proc/cpuinfo, the sysfs CPU topology and cpufreq.
//
// Physical cores are the distinct ("physical id", "core id") pairs of /proc/cpuinfo; kernels
// that leave those out (ARM) are counted by distinct thread-sibling sets in
// /sys/devices/system/cpu/cpuN/topology. Logical cores are the "processor" entries, else the
// ranges in /sys/devices/system/cpu/online.
class CpuInfoReader {
public:
    explicit CpuInfoReader(std::filesystem::path root = "/");

    CpuInfo read() const;

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
