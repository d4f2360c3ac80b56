#pragma once

#include <optional>

#include "platform/sensors/mem_info_reader.h"
#include "platform/sensors/pressure_stall_reader.h"

namespace corvanta::platform {

// Memory pressure as 0 (normal), 1 (warning) or 2 (critical): stall time when the kernel reports
// it, and the share of memory still available in any case. Nothing readable gives 0.
int memoryPressureLevel(const std::optional<PressureStall>& stall,
                        const std::optional<MemInfo>& memory);

}  // namespace corvanta::platform
