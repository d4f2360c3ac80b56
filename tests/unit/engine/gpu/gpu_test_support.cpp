#include "unit/engine/gpu/gpu_test_support.h"

#include <openssl/sha.h>

#include "engine/difficulty.h"
#include "engine/system_log.h"

namespace corvanta::engine::testing {

ComputeEngine::LogCallback LogRecorder::callback() {
    return [this](std::string_view category, std::string_view message) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(std::string(category), std::string(message));
    };
}

std::vector<std::pair<std::string, std::string>> LogRecorder::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> LogRecorder::messages(std::string_view category) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [lineCategory, message] : lines_) {
        if (lineCategory == category) {
            out.push_back(message);
        }
    }
    return out;
}

struct SystemLogCapture::Shared {
    std::mutex mutex;
    std::vector<std::string> messages;
};

SystemLogCapture::SystemLogCapture() : shared_(std::make_shared<Shared>()) {
    setSystemLogSink([shared = shared_](SystemLogLevel, std::string_view message) {
        std::lock_guard lock(shared->mutex);
        shared->messages.emplace_back(message);
    });
}

SystemLogCapture::~SystemLogCapture() {
    setSystemLogSink({});
}

std::vector<std::string> SystemLogCapture::messages() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->messages;
}

std::vector<std::uint64_t> referenceHits(std::string_view seed, std::uint64_t start,
                                         std::uint64_t end, int difficulty) {
    std::vector<std::uint64_t> hits;
    unsigned char digest[SHA256_DIGEST_LENGTH];
    for (std::uint64_t nonce = start; nonce < end; ++nonce) {
        const std::string message = std::string(seed) + std::to_string(nonce);
        SHA256(reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest);
        if (meetsDifficulty(digest, difficulty)) {
            hits.push_back(nonce);
        }
    }
    return hits;
}

std::string seedOfBytes(std::size_t bytes) {
    std::string seed;
    for (std::size_t i = 0; i < bytes; ++i) {
        seed.push_back(static_cast<char>('!' + (i * 37 + 11) % 94));
    }
    return seed;
}

SearchRequest gpuRequest(std::string seed, std::uint64_t start, std::uint64_t end, int difficulty) {
    return SearchRequest{start,       end, std::move(seed), difficulty, ComputeWorkerLaneKind::gpu,
                         std::nullopt};
}

SearchRequest cpuRequest(std::string seed, std::uint64_t start, std::uint64_t end, int difficulty) {
    return SearchRequest{start,       end, std::move(seed), difficulty, ComputeWorkerLaneKind::cpu,
                         std::nullopt};
}

}  // namespace corvanta::engine::testing
