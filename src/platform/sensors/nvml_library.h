#pragma once

#include <memory>
#include <optional>
#include <vector>

namespace corvanta::platform {

// NVIDIA's management library, loaded at run time so that the client neither links against nor
// requires the proprietary driver.
class NvmlLibrary {
public:
    // Loads libnvidia-ml.so.1 and initialises it; nullptr when the library is missing, lacks a
    // needed symbol, or finds no device.
    static std::unique_ptr<NvmlLibrary> load();

    ~NvmlLibrary();
    NvmlLibrary(const NvmlLibrary&) = delete;
    NvmlLibrary& operator=(const NvmlLibrary&) = delete;

    // The busiest device's utilisation over the driver's last sample period, in percent;
    // nullopt when no device answered.
    std::optional<double> utilisationPercent() const;

private:
    struct Api;

    NvmlLibrary(std::unique_ptr<Api> api, std::vector<void*> devices);

    std::unique_ptr<Api> api_;
    std::vector<void*> devices_;
};

}  // namespace corvanta::platform
