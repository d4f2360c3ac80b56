#include "engine/system_log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace corvanta::engine {

namespace {

std::mutex& sinkMutex() {
    static std::mutex mutex;
    return mutex;
}

SystemLogSink& currentSink() {
    static SystemLogSink sink;
    return sink;
}

}  // namespace

void setSystemLogSink(SystemLogSink sink) {
    std::lock_guard lock(sinkMutex());
    currentSink() = std::move(sink);
}

void writeSystemLog(SystemLogLevel level, std::string_view message) {
    SystemLogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(level, message);
        return;
    }
    const std::string line = std::string("corvanta.compute: ") +
                             (level == SystemLogLevel::error ? "error: " : "") +
                             std::string(message) + '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace corvanta::engine
