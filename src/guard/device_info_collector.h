#pragma once

#include <QString>
#include <filesystem>

#include "guard/device_info.h"
#include "platform/string_table.h"

namespace corvanta::guard {

struct DeviceInfoCollectorOptions {
    std::filesystem::path root = "/";  // where /proc, /sys and /etc are read; statfs runs here
    // The graphics processor is the OpenCL device the engine computes on, chosen by the engine's
    // own rule (engine/gpu/opencl_device.h); without one, the DRM cards describe it. Tests of the
    // other sources turn OpenCL off.
    bool useOpenCl = true;
    // Follows the core counts when nothing better describes the processor speed ("8/16 Cores").
    QString cpuCoresSuffix = platform::localized(QStringLiteral("cpu_cores_suffix"));
};

// Builds the machine description from the platform readers. Every source fails on its own: an
// unreadable one turns only its own fields into "—". Reads everything afresh on each call and
// keeps no state, so it may run on any thread; it takes milliseconds, except that the first
// OpenCL query of a process loads the drivers.
class DeviceInfoCollector {
public:
    explicit DeviceInfoCollector(DeviceInfoCollectorOptions options = {});

    DeviceInfo collect() const;

private:
    DeviceInfoCollectorOptions options_;
};

}  // namespace corvanta::guard
