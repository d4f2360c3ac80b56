// ARMv8 SHA-256 instructions: four consecutive suffixes per step, each its own message, their
// instructions interleaved so that the SHA unit's latency is hidden behind the other three.
#if defined(__aarch64__)

#include <arm_neon.h>

#include "engine/sha256/kernel_step.h"
#include "engine/sha256/nonce_kernel.h"
#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

namespace {

constexpr int kStreams = 4;

// sha256h/sha256h2 do four rounds; the state is ABCD and EFGH.
struct Streams {
    uint32x4_t abcd[kStreams];
    uint32x4_t efgh[kStreams];
    uint32x4_t message[kStreams][4];  // words 0-3, 4-7, 8-11, 12-15 of the rolling schedule
};

// Rounds 4g to 4g + 3 with K + W given per stream.
inline void fourRounds(Streams& st, const uint32x4_t (&kw)[kStreams]) {
    for (int l = 0; l < kStreams; ++l) {
        const uint32x4_t abcd = st.abcd[l];
        st.abcd[l] = vsha256hq_u32(abcd, st.efgh[l], kw[l]);
        st.efgh[l] = vsha256h2q_u32(st.efgh[l], abcd, kw[l]);
    }
}

// Every round from `first` (a multiple of four) on; the schedule runs from group 4 on regardless.
inline void roundsFrom(Streams& st, int first) {
    for (int g = 0; g < 16; ++g) {
        const int q = g & 3;
        if (g >= 4) {
            for (int l = 0; l < kStreams; ++l) {
                uint32x4_t* m = st.message[l];
                m[q] = vsha256su1q_u32(vsha256su0q_u32(m[q], m[(q + 1) & 3]), m[(q + 2) & 3],
                                       m[(q + 3) & 3]);
            }
        }
        if (4 * g >= first) {
            const uint32x4_t k = vld1q_u32(kSha256K + 4 * g);
            uint32x4_t kw[kStreams];
            for (int l = 0; l < kStreams; ++l) {
                kw[l] = vaddq_u32(st.message[l][q], k);
            }
            fourRounds(st, kw);
        }
    }
}

// The first digest word of every stream when the constant padding block follows.
void trailer(Streams& st, const NonceBlock& block, std::uint32_t (&first)[kStreams]) {
    const uint32x4_t chainAbcd = vld1q_u32(block.chainState);
    const uint32x4_t chainEfgh = vld1q_u32(block.chainState + 4);
    for (int l = 0; l < kStreams; ++l) {
        st.abcd[l] = vaddq_u32(st.abcd[l], chainAbcd);
        st.efgh[l] = vaddq_u32(st.efgh[l], chainEfgh);
        first[l] = vgetq_lane_u32(st.abcd[l], 0);
    }
    for (int g = 0; g < 16; ++g) {
        const uint32x4_t k = vld1q_u32(block.trailerKw + 4 * g);
        const uint32x4_t kw[kStreams] = {k, k, k, k};
        fourRounds(st, kw);
    }
    for (int l = 0; l < kStreams; ++l) {
        first[l] += vgetq_lane_u32(st.abcd[l], 0);
    }
}

}  // namespace

KernelStop scanNoncesArmv8(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                           const std::atomic<bool>& cancelled) {
    const int first = block.preRounds;
    const uint32x4_t preAbcd = vld1q_u32(block.preState);
    const uint32x4_t preEfgh = vld1q_u32(block.preState + 4);
    for (std::uint32_t s = from; s < to; s += kStreams) {
        if (((s - from) & 31) == 0 && searchCancelled(cancelled)) {
            return KernelStop{s, 0, 0, true};
        }
        Streams st;
        for (int l = 0; l < kStreams; ++l) {
            std::uint32_t words[16];
            for (int i = 0; i < 16; ++i) {
                words[i] = block.words[i];
            }
            words[block.suffixWord] |= block.suffixLow[s + l];
            if (block.suffixWord < 15) {
                words[block.suffixWord + 1] |= block.suffixHigh[s + l];
            }
            for (int v = 0; v < 4; ++v) {
                st.message[l][v] = vld1q_u32(words + 4 * v);
            }
            st.abcd[l] = preAbcd;
            st.efgh[l] = preEfgh;
        }
        roundsFrom(st, first);
        std::uint32_t firstWord[kStreams];
        if (block.hasTrailer) {
            trailer(st, block, firstWord);
        } else {
            for (int l = 0; l < kStreams; ++l) {
                firstWord[l] = vgetq_lane_u32(st.abcd[l], 0) + block.chainState[0];
            }
        }
        const KernelStop stop =
            stepEnd(candidateLanes(firstWord, block.threshold), s, kStreams, to);
        if (stop.candidates != 0) {
            return stop;
        }
    }
    return KernelStop{to, 0, 0, false};
}

}  // namespace corvanta::engine

#endif
