#include "platform/sensors/gpu_busy_reader.h"

#include <algorithm>
#include <optional>
#include <string>
#include <system_error>

#include "platform/sensors/nvml_library.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// "card0", "card1", … but not the connectors ("card0-HDMI-A-1").
bool isCardName(const std::string& name) {
    constexpr std::string_view prefix = "card";
    return name.size() > prefix.size() && name.rfind(prefix, 0) == 0 &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

GpuBusyReader::GpuBusyReader(std::filesystem::path root, bool allowNvml) {
    std::error_code error;
    std::filesystem::directory_iterator it(underRoot(root, "/sys/class/drm"), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const auto busy = it->path() / "device" / "gpu_busy_percent";
        std::error_code existsError;
        if (isCardName(it->path().filename().string()) &&
            std::filesystem::exists(busy, existsError)) {
            busyFiles_.push_back(busy);
        }
    }
    std::sort(busyFiles_.begin(), busyFiles_.end());
    if (busyFiles_.empty() && allowNvml) {
        nvml_ = NvmlLibrary::load();
    }
}

GpuBusyReader::~GpuBusyReader() = default;
GpuBusyReader::GpuBusyReader(GpuBusyReader&&) noexcept = default;
GpuBusyReader& GpuBusyReader::operator=(GpuBusyReader&&) noexcept = default;

double GpuBusyReader::read() const {
    std::optional<double> busiest;
    for (const auto& file : busyFiles_) {
        if (const auto percent = readInteger(file)) {
            busiest = std::max(busiest.value_or(0.0), static_cast<double>(*percent));
        }
    }
    if (!busiest && nvml_) {
        busiest = nvml_->utilisationPercent();
    }
    return std::clamp(busiest.value_or(0.0), 0.0, 100.0);
}

}  // namespace corvanta::platform
