#pragma once

#include <array>
#include <cstdint>

namespace corvanta::engine {

using Sha256Digest = std::array<std::uint8_t, 32>;

// True when the digest begins with at least `difficulty` zero hexadecimal digits, read from the
// first byte, high nibble first. A difficulty below 1 accepts every digest; one above 64 none.
bool meetsDifficulty(const Sha256Digest& digest, int difficulty);
bool meetsDifficulty(const std::uint8_t* digest, int difficulty);

}  // namespace corvanta::engine
