#include "engine/gpu/opencl_device.h"

#include <cstdlib>
#include <string_view>
#include <vector>

namespace corvanta::engine::gpu {

namespace {

bool deviceFlag(cl_device_id device, cl_device_info info) {
    cl_bool value = CL_FALSE;
    return clGetDeviceInfo(device, info, sizeof value, &value, nullptr) == CL_SUCCESS &&
           value == CL_TRUE;
}

// A text property of the device without its padding; empty when there is none.
std::string deviceText(cl_device_id device, cl_device_info info) {
    std::size_t size = 0;
    if (clGetDeviceInfo(device, info, 0, nullptr, &size) != CL_SUCCESS || size == 0) {
        return {};
    }
    std::string text(size, '\0');
    if (clGetDeviceInfo(device, info, size, text.data(), nullptr) != CL_SUCCESS) {
        return {};
    }
    const auto last = text.find_last_not_of(std::string_view("\0 \t\n", 4));
    const auto first = text.find_first_not_of(" \t");
    return last == std::string::npos || first > last ? std::string()
                                                     : text.substr(first, last - first + 1);
}

// cl_ext.h's CL_DEVICE_BOARD_NAME_AMD, kept here so the header set stays the core one.
constexpr cl_device_info kDeviceBoardNameAmd = 0x4038;

std::string deviceName(cl_device_id device) {
    std::string name = deviceText(device, CL_DEVICE_NAME);
    return name.empty() ? "unknown OpenCL device" : name;
}

}  // namespace

std::optional<OpenClDevice> OpenClDevice::selectDefault() {
    const char* choice = std::getenv("CORVANTA_OPENCL_DEVICE");
    const cl_device_type wanted = choice != nullptr && std::string_view(choice) == "any"
                                      ? CL_DEVICE_TYPE_ALL
                                      : CL_DEVICE_TYPE_GPU;
    cl_uint platformCount = 0;
    if (clGetPlatformIDs(0, nullptr, &platformCount) != CL_SUCCESS || platformCount == 0) {
        return std::nullopt;
    }
    std::vector<cl_platform_id> platforms(platformCount);
    if (clGetPlatformIDs(platformCount, platforms.data(), nullptr) != CL_SUCCESS) {
        return std::nullopt;
    }
    for (cl_platform_id platform : platforms) {
        cl_uint deviceCount = 0;
        if (clGetDeviceIDs(platform, wanted, 0, nullptr, &deviceCount) != CL_SUCCESS ||
            deviceCount == 0) {
            continue;
        }
        std::vector<cl_device_id> devices(deviceCount);
        if (clGetDeviceIDs(platform, wanted, deviceCount, devices.data(), nullptr) != CL_SUCCESS) {
            continue;
        }
        for (cl_device_id device : devices) {
            if (deviceFlag(device, CL_DEVICE_AVAILABLE) &&
                deviceFlag(device, CL_DEVICE_COMPILER_AVAILABLE)) {
                return OpenClDevice(device, deviceName(device),
                                    deviceText(device, CL_DRIVER_VERSION));
            }
        }
    }
    return std::nullopt;
}

std::string OpenClDevice::productName() const {
    if (deviceText(id_, CL_DEVICE_EXTENSIONS).find("cl_amd_device_attribute_query") !=
        std::string::npos) {
        if (std::string board = deviceText(id_, kDeviceBoardNameAmd); !board.empty()) {
            return board;
        }
    }
    return name_;
}

std::string OpenClDevice::vendor() const {
    return deviceText(id_, CL_DEVICE_VENDOR);
}

std::optional<std::uint64_t> OpenClDevice::globalMemoryBytes() const {
    cl_ulong bytes = 0;
    if (clGetDeviceInfo(id_, CL_DEVICE_GLOBAL_MEM_SIZE, sizeof bytes, &bytes, nullptr) !=
            CL_SUCCESS ||
        bytes == 0) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace corvanta::engine::gpu
