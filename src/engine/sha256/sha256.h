#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/difficulty.h"

namespace corvanta::engine {

// Portable SHA-256 (FIPS 180-4). The nonce search uses its own kernels for the hot loop; this
// code prepares their blocks, checks their candidates, plans the GPU dispatches and serves as the
// reference in tests. Its parts are public so that those callers share one round loop.
inline constexpr std::uint32_t kSha256InitialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

// `count` big-endian words from 4 × `count` bytes.
void sha256LoadWords(const std::uint8_t* bytes, std::uint32_t* words, std::size_t count);

// The 64-word message schedule of a block given as 16 words.
void sha256Schedule(const std::uint32_t words[16], std::uint32_t schedule[64]);

// Rounds [0, count) of a block over `schedule` (count <= 64; the rounds below 16 read only the
// block's own words), without the feed-forward that ends a compression. Callers that know the
// leading words of many blocks in advance run those rounds once.
void sha256Rounds(std::uint32_t state[8], const std::uint32_t* schedule, int count);

// One compression of a 64-byte block given as 16 big-endian words.
void sha256Compress(std::uint32_t state[8], const std::uint32_t words[16]);

// Pads the end of a message for hashing: `tail` holds the message's last `tailLength` bytes (at
// most 119), which follow whole blocks that are hashed apart; the rest of it is overwritten with
// the end marker, zeros and the length in bits of the whole `messageLength`-byte message.
// Returns the number of blocks the tail now fills, 1 or 2.
int sha256PadTail(std::uint8_t (&tail)[128], std::size_t tailLength, std::uint64_t messageLength);

// The digest of a final hash state.
Sha256Digest sha256Digest(const std::uint32_t state[8]);

Sha256Digest sha256(const std::uint8_t* data, std::size_t length);
Sha256Digest sha256(std::string_view bytes);

}  // namespace corvanta::engine
