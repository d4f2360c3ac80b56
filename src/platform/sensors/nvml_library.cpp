#include "platform/sensors/nvml_library.h"

#include <dlfcn.h>

#include <algorithm>

namespace corvanta::platform {

namespace {

// The few declarations of nvml.h this needs; the ABI of these entry points is stable.
using NvmlReturn = int;
constexpr NvmlReturn kNvmlSuccess = 0;
using NvmlDevice = void*;
struct NvmlUtilization {
    unsigned int gpu;
    unsigned int memory;
};

struct DlCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

template <typename Fn>
Fn symbol(void* handle, const char* name) {
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

}  // namespace

struct NvmlLibrary::Api {
    std::unique_ptr<void, DlCloser> handle;
    NvmlReturn (*init)() = nullptr;
    NvmlReturn (*shutdown)() = nullptr;
    NvmlReturn (*deviceCount)(unsigned int*) = nullptr;
    NvmlReturn (*deviceByIndex)(unsigned int, NvmlDevice*) = nullptr;
    NvmlReturn (*utilisation)(NvmlDevice, NvmlUtilization*) = nullptr;
};

std::unique_ptr<NvmlLibrary> NvmlLibrary::load() {
    auto api = std::make_unique<Api>();
    api->handle.reset(dlopen("libnvidia-ml.so.1", RTLD_NOW | RTLD_LOCAL));
    if (!api->handle) {
        return nullptr;
    }
    void* handle = api->handle.get();
    api->init = symbol<decltype(api->init)>(handle, "nvmlInit_v2");
    api->shutdown = symbol<decltype(api->shutdown)>(handle, "nvmlShutdown");
    api->deviceCount = symbol<decltype(api->deviceCount)>(handle, "nvmlDeviceGetCount_v2");
    api->deviceByIndex =
        symbol<decltype(api->deviceByIndex)>(handle, "nvmlDeviceGetHandleByIndex_v2");
    api->utilisation = symbol<decltype(api->utilisation)>(handle, "nvmlDeviceGetUtilizationRates");
    if (!api->init || !api->shutdown || !api->deviceCount || !api->deviceByIndex ||
        !api->utilisation || api->init() != kNvmlSuccess) {
        return nullptr;
    }
    unsigned int count = 0;
    std::vector<void*> devices;
    if (api->deviceCount(&count) == kNvmlSuccess) {
        for (unsigned int i = 0; i < count; ++i) {
            NvmlDevice device = nullptr;
            if (api->deviceByIndex(i, &device) == kNvmlSuccess && device) {
                devices.push_back(device);
            }
        }
    }
    if (devices.empty()) {
        api->shutdown();
        return nullptr;
    }
    return std::unique_ptr<NvmlLibrary>(new NvmlLibrary(std::move(api), std::move(devices)));
}

NvmlLibrary::NvmlLibrary(std::unique_ptr<Api> api, std::vector<void*> devices)
    : api_(std::move(api)), devices_(std::move(devices)) {}

NvmlLibrary::~NvmlLibrary() {
    api_->shutdown();
}

std::optional<double> NvmlLibrary::utilisationPercent() const {
    std::optional<double> busiest;
    for (void* device : devices_) {
        NvmlUtilization rates{};
        if (api_->utilisation(device, &rates) == kNvmlSuccess) {
            busiest = std::max(busiest.value_or(0.0), static_cast<double>(rates.gpu));
        }
    }
    return busiest;
}

}  // namespace corvanta::platform
