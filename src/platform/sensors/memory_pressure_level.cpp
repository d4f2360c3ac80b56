#include "platform/sensors/memory_pressure_level.h"

#include <cstdint>

namespace corvanta::platform {

namespace {

constexpr double kStallThresholdPercent = 10.0;

// available < percent % of total, in integers (exact up to totals of about 160 PiB).
bool availableBelow(const MemInfo& memory, std::uint64_t percent) {
    return memory.availableBytes * 100 < memory.totalBytes * percent;
}

}  // namespace

int memoryPressureLevel(const std::optional<PressureStall>& stall,
                        const std::optional<MemInfo>& memory) {
    const bool hasMemory = memory && memory->totalBytes > 0;
    if ((stall && stall->fullAvg10 >= kStallThresholdPercent) ||
        (hasMemory && availableBelow(*memory, 5))) {
        return 2;
    }
    if ((stall && stall->someAvg10 >= kStallThresholdPercent) ||
        (hasMemory && availableBelow(*memory, 15))) {
        return 1;
    }
    return 0;
}

}  // namespace corvanta::platform
