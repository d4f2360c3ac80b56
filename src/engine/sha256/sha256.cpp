#include "engine/sha256/sha256.h"

#include <cstring>

#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

namespace {

inline std::uint32_t ror(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline std::uint32_t loadBigEndian(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
           std::uint32_t{p[3]};
}

void compressBytes(std::uint32_t state[8], const std::uint8_t* block) {
    std::uint32_t words[16];
    for (int i = 0; i < 16; ++i) {
        words[i] = loadBigEndian(block + 4 * i);
    }
    sha256Compress(state, words);
}

}  // namespace

void sha256Compress(std::uint32_t state[8], const std::uint32_t words[16]) {
    std::uint32_t w[64];
    std::memcpy(w, words, sizeof(std::uint32_t) * 16);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t s0 = ror(w[i - 15], 7) ^ ror(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const std::uint32_t s1 = ror(w[i - 2], 17) ^ ror(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            h + (ror(e, 6) ^ ror(e, 11) ^ ror(e, 25)) + ((e & f) ^ (~e & g)) + kSha256K[i] + w[i];
        const std::uint32_t t2 =
            (ror(a, 2) ^ ror(a, 13) ^ ror(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

Sha256Digest sha256(const std::uint8_t* data, std::size_t length) {
    std::uint32_t state[8];
    std::memcpy(state, kSha256InitialState, sizeof state);
    std::size_t offset = 0;
    for (; offset + 64 <= length; offset += 64) {
        compressBytes(state, data + offset);
    }
    std::uint8_t tail[128] = {};
    const std::size_t rest = length - offset;
    if (rest > 0) {
        std::memcpy(tail, data + offset, rest);
    }
    tail[rest] = 0x80;
    const std::size_t tailBlocks = rest + 9 <= 64 ? 1 : 2;
    const std::uint64_t bits = static_cast<std::uint64_t>(length) * 8;
    for (int i = 0; i < 8; ++i) {
        tail[tailBlocks * 64 - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    for (std::size_t b = 0; b < tailBlocks; ++b) {
        compressBytes(state, tail + 64 * b);
    }
    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) {
        digest[4 * i] = static_cast<std::uint8_t>(state[i] >> 24);
        digest[4 * i + 1] = static_cast<std::uint8_t>(state[i] >> 16);
        digest[4 * i + 2] = static_cast<std::uint8_t>(state[i] >> 8);
        digest[4 * i + 3] = static_cast<std::uint8_t>(state[i]);
    }
    return digest;
}

Sha256Digest sha256(std::string_view bytes) {
    return sha256(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace corvanta::engine
