#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/compute_engine.h"

namespace corvanta::engine::testing {

// Collects the engine's run-log lines; the engine calls it from its search threads.
class LogRecorder {
public:
    ComputeEngine::LogCallback callback();
    std::vector<std::pair<std::string, std::string>> lines() const;
    // Messages of one category, in order.
    std::vector<std::string> messages(std::string_view category) const;

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> lines_;
};

// Captures the system log while it lives, then restores standard error.
class SystemLogCapture {
public:
    SystemLogCapture();
    ~SystemLogCapture();
    SystemLogCapture(const SystemLogCapture&) = delete;
    SystemLogCapture& operator=(const SystemLogCapture&) = delete;

    std::vector<std::string> messages() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// Hits of [start, end) by hashing every message with OpenSSL: the criterion written out plainly.
std::vector<std::uint64_t> referenceHits(std::string_view seed, std::uint64_t start,
                                         std::uint64_t end, int difficulty);

// A seed of exactly `bytes` ASCII bytes.
std::string seedOfBytes(std::size_t bytes);

SearchRequest gpuRequest(std::string seed, std::uint64_t start, std::uint64_t end, int difficulty);
SearchRequest cpuRequest(std::string seed, std::uint64_t start, std::uint64_t end, int difficulty);

}  // namespace corvanta::engine::testing
