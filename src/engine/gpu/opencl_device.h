#pragma once

#include <CL/cl.h>

#include <cstdint>
#include <optional>
#include <string>

namespace corvanta::engine::gpu {

// The OpenCL device the GPU path runs on. Devices are owned by their platform and need no
// release, so this is a plain value.
class OpenClDevice {
public:
    // The one rule for which device the GPU path uses; the device page names the same one.
    // The first GPU device of the first platform that has one. With the environment variable
    // CORVANTA_OPENCL_DEVICE=any, CPU and accelerator devices count too, in the platform's order:
    // that is how tests run the kernel on PoCL, which offers only a CPU device. Devices that are
    // unavailable or have no compiler are skipped. Empty when no OpenCL platform or no matching
    // device is installed.
    static std::optional<OpenClDevice> selectDefault();

    cl_device_id id() const { return id_; }
    // CL_DEVICE_NAME, as the logs show it.
    const std::string& name() const { return name_; }
    // CL_DRIVER_VERSION: a driver update may change what a program compiles to.
    const std::string& driverVersion() const { return driverVersion_; }

    // What a person knows the device by: AMD's drivers name the chip ("gfx1030") and give the
    // board's name separately; other drivers' device name is the product's.
    std::string productName() const;
    std::string vendor() const;
    // CL_DEVICE_GLOBAL_MEM_SIZE; nullopt when the driver reports none.
    std::optional<std::uint64_t> globalMemoryBytes() const;

private:
    OpenClDevice(cl_device_id id, std::string name, std::string driverVersion)
        : id_(id), name_(std::move(name)), driverVersion_(std::move(driverVersion)) {}

    cl_device_id id_;
    std::string name_;
    std::string driverVersion_;
};

}  // namespace corvanta::engine::gpu
