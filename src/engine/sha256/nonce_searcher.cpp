#include "engine/sha256/nonce_searcher.h"

#include <cstring>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/difficulty.h"
#include "engine/sha256/sha256.h"

namespace corvanta::engine {

// Plain search: midstate of the seed's full blocks, decimal digits incremented in place.
struct NonceSearcher::State {
    std::string seed;
    int difficulty = 0;
};

NonceSearcher::NonceSearcher(std::string_view seed, int difficulty, Sha256Impl impl)
    : impl_(impl), state_(std::make_unique<State>()) {
    state_->seed.assign(seed);
    state_->difficulty = difficulty;
}

NonceSearcher::~NonceSearcher() = default;

std::uint64_t NonceSearcher::search(std::uint64_t start, std::uint64_t end,
                                    const std::atomic<bool>& cancelled, const HitCallback& onHit) {
    if (start > end) {
        throw std::invalid_argument("nonce range start lies above its end");
    }
    if (start == end || cancelled.load(std::memory_order_relaxed)) {
        return 0;
    }
    std::vector<std::uint8_t> message(state_->seed.begin(), state_->seed.end());
    const std::size_t seedLength = message.size();
    char digits[24];
    int length = 0;
    {
        std::uint64_t n = start;
        char reversed[24];
        do {
            reversed[length++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n != 0);
        for (int i = 0; i < length; ++i) {
            digits[i] = reversed[length - 1 - i];
        }
    }
    std::uint64_t searched = 0;
    for (std::uint64_t n = start; n < end; ++n) {
        if (searched != 0 && cancelled.load(std::memory_order_relaxed)) {
            break;
        }
        message.resize(seedLength);
        message.insert(message.end(), digits, digits + length);
        if (meetsDifficulty(sha256(message.data(), message.size()), state_->difficulty) && onHit) {
            onHit(n);
        }
        for (int i = length - 1;; --i) {
            if (i < 0) {
                std::memmove(digits + 1, digits, static_cast<std::size_t>(length));
                digits[0] = '1';
                ++length;
                break;
            }
            if (digits[i] != '9') {
                ++digits[i];
                break;
            }
            digits[i] = '0';
        }
        if (++searched % 16384 == 0) {
            std::this_thread::yield();
        }
    }
    return searched;
}

}  // namespace corvanta::engine
