#include "engine/sha256/sha256.h"

#include <bit>
#include <cstring>

#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

void sha256LoadWords(const std::uint8_t* bytes, std::uint32_t* words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* p = bytes + 4 * i;
        words[i] = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                   std::uint32_t{p[2]} << 8 | std::uint32_t{p[3]};
    }
}

void sha256Schedule(const std::uint32_t words[16], std::uint32_t schedule[64]) {
    std::memcpy(schedule, words, sizeof(std::uint32_t) * 16);
    for (int i = 16; i < 64; ++i) {
        const std::uint32_t x = schedule[i - 15];
        const std::uint32_t y = schedule[i - 2];
        const std::uint32_t s0 = std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3);
        const std::uint32_t s1 = std::rotr(y, 17) ^ std::rotr(y, 19) ^ (y >> 10);
        schedule[i] = schedule[i - 16] + s0 + schedule[i - 7] + s1;
    }
}

void sha256Rounds(std::uint32_t state[8], const std::uint32_t* schedule, int count) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < count; ++i) {
        const std::uint32_t t1 = h + (std::rotr(e, 6) ^ std::rotr(e, 11) ^ std::rotr(e, 25)) +
                                 ((e & f) ^ (~e & g)) + kSha256K[i] + schedule[i];
        const std::uint32_t t2 =
            (std::rotr(a, 2) ^ std::rotr(a, 13) ^ std::rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
        h = g;
        g = f;
        f = e;
        e = d + t1;
        d = c;
        c = b;
        b = a;
        a = t1 + t2;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
    state[4] = e;
    state[5] = f;
    state[6] = g;
    state[7] = h;
}

void sha256Compress(std::uint32_t state[8], const std::uint32_t words[16]) {
    std::uint32_t schedule[64];
    sha256Schedule(words, schedule);
    std::uint32_t work[8];
    std::memcpy(work, state, sizeof work);
    sha256Rounds(work, schedule, 64);
    for (int i = 0; i < 8; ++i) {
        state[i] += work[i];
    }
}

int sha256PadTail(std::uint8_t (&tail)[128], std::size_t tailLength, std::uint64_t messageLength) {
    std::memset(tail + tailLength, 0, sizeof tail - tailLength);
    tail[tailLength] = 0x80;
    const int blocks = tailLength + 9 <= 64 ? 1 : 2;
    const std::uint64_t bits = messageLength * 8;
    for (int i = 0; i < 8; ++i) {
        tail[64 * blocks - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
    return blocks;
}

Sha256Digest sha256Digest(const std::uint32_t state[8]) {
    Sha256Digest digest;
    for (int i = 0; i < 8; ++i) {
        for (int j = 0; j < 4; ++j) {
            digest[4 * i + j] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * j));
        }
    }
    return digest;
}

Sha256Digest sha256(const std::uint8_t* data, std::size_t length) {
    std::uint32_t state[8];
    std::memcpy(state, kSha256InitialState, sizeof state);
    std::uint32_t words[16];
    std::size_t offset = 0;
    for (; offset + 64 <= length; offset += 64) {
        sha256LoadWords(data + offset, words, 16);
        sha256Compress(state, words);
    }
    std::uint8_t tail[128];
    const std::size_t rest = length - offset;
    if (rest > 0) {
        std::memcpy(tail, data + offset, rest);
    }
    const int blocks = sha256PadTail(tail, rest, length);
    for (int b = 0; b < blocks; ++b) {
        sha256LoadWords(tail + 64 * b, words, 16);
        sha256Compress(state, words);
    }
    return sha256Digest(state);
}

Sha256Digest sha256(std::string_view bytes) {
    return sha256(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace corvanta::engine
