#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {

// Searches nonce ranges of one (seed, difficulty) for hits: nonces whose SHA-256 of the seed's
// bytes followed by the nonce in ASCII decimal meets the difficulty. Everything that depends only
// on the seed is computed once, at construction. One searcher may run one search at a time; make
// one per thread.
class NonceSearcher {
public:
    using HitCallback = std::function<void(std::uint64_t)>;

    NonceSearcher(std::string_view seed, int difficulty, Sha256Impl impl = defaultSha256Impl());
    ~NonceSearcher();
    NonceSearcher(const NonceSearcher&) = delete;
    NonceSearcher& operator=(const NonceSearcher&) = delete;

    // Searches [start, end) in ascending order. Each hit is passed to `onHit` (when set) before
    // the search looks any further, so hits arrive in ascending order. The search stops early once
    // `cancelled` reads true; it tests the flag before the first nonce and at least once every 64
    // nonces. It yields the processor once every 16384 nonces. Returns the number of nonces
    // searched. start > end is a caller error (std::invalid_argument).
    std::uint64_t search(std::uint64_t start, std::uint64_t end, const std::atomic<bool>& cancelled,
                         const HitCallback& onHit);

    Sha256Impl impl() const { return impl_; }

private:
    struct State;
    Sha256Impl impl_;
    std::unique_ptr<State> state_;
};

}  // namespace corvanta::engine
