#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/difficulty.h"

namespace corvanta::engine {

// Portable SHA-256 (FIPS 180-4). The nonce search uses its own kernels; this one checks their
// candidates and serves as the reference in tests.
inline constexpr std::uint32_t kSha256InitialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// One compression of a 64-byte block given as 16 big-endian words.
void sha256Compress(std::uint32_t state[8], const std::uint32_t words[16]);
Sha256Digest sha256(const std::uint8_t* data, std::size_t length);
Sha256Digest sha256(std::string_view bytes);

}  // namespace corvanta::engine
