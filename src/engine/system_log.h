#pragma once

#include <functional>
#include <string_view>

namespace corvanta::engine {

// The engine's few start-up diagnostics (which GPU was found, whether its kernel built) belong in
// the system log, not the run log. The engine has no Qt, so it writes through this hook; the
// application installs a sink that forwards to its `corvanta.compute` logging category. Without a
// sink the lines go to standard error.
enum class SystemLogLevel { info, error };

using SystemLogSink = std::function<void(SystemLogLevel level, std::string_view message)>;

// Replaces the process-wide sink; an empty sink restores standard error. Thread-safe.
void setSystemLogSink(SystemLogSink sink);
void writeSystemLog(SystemLogLevel level, std::string_view message);

}  // namespace corvanta::engine
