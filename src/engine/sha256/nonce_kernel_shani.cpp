// SHA-NI: four consecutive suffixes per step, each its own message, their instructions
// interleaved so that the SHA unit's latency is hidden behind the other three.
#if defined(__x86_64__)

#include <immintrin.h>

#include <utility>

#include "engine/sha256/kernel_step.h"
#include "engine/sha256/nonce_kernel.h"
#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

namespace {

constexpr int kStreams = 4;

// The SHA-NI instructions keep the state as two vectors, ABEF and CDGH (highest lane first).
[[gnu::always_inline]] inline __m128i abef(const std::uint32_t* s) {
    return _mm_set_epi32(static_cast<int>(s[0]), static_cast<int>(s[1]), static_cast<int>(s[4]),
                         static_cast<int>(s[5]));
}

[[gnu::always_inline]] inline __m128i cdgh(const std::uint32_t* s) {
    return _mm_set_epi32(static_cast<int>(s[2]), static_cast<int>(s[3]), static_cast<int>(s[6]),
                         static_cast<int>(s[7]));
}

[[gnu::always_inline]] inline std::uint32_t lane3(__m128i v) {
    return static_cast<std::uint32_t>(_mm_extract_epi32(v, 3));
}

struct Streams {
    // sha256rnds2 does two rounds and returns the new ABEF; the old ABEF becomes the new CDGH.
    // So x and y swap roles every two rounds: before round pair p, ABEF is in x when p is even.
    __m128i x[kStreams];
    __m128i y[kStreams];
    __m128i message[kStreams][4];  // words 0-3, 4-7, 8-11, 12-15 of the rolling schedule
};

// Rounds 4G to 4G + 3 of every stream, those before First skipped; the schedule runs from
// group 4 on regardless.
template <int First, int G>
[[gnu::always_inline]] inline void roundGroup(Streams& st) {
    constexpr int q = G & 3;
    if constexpr (G >= 4) {
        for (int l = 0; l < kStreams; ++l) {
            __m128i* m = st.message[l];
            m[q] = _mm_sha256msg2_epu32(
                _mm_add_epi32(_mm_sha256msg1_epu32(m[q], m[(q + 1) & 3]),
                              _mm_alignr_epi8(m[(q + 3) & 3], m[(q + 2) & 3], 4)),
                m[(q + 3) & 3]);
        }
    }
    const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(kSha256K + 4 * G));
    __m128i kw[kStreams];
    for (int l = 0; l < kStreams; ++l) {
        kw[l] = _mm_add_epi32(st.message[l][q], k);
    }
    if constexpr (4 * G >= First) {
        for (int l = 0; l < kStreams; ++l) {
            st.y[l] = _mm_sha256rnds2_epu32(st.y[l], st.x[l], kw[l]);
        }
    }
    if constexpr (4 * G + 2 >= First) {
        for (int l = 0; l < kStreams; ++l) {
            st.x[l] = _mm_sha256rnds2_epu32(st.x[l], st.y[l], _mm_shuffle_epi32(kw[l], 0x0E));
        }
    }
}

template <int First, int... G>
[[gnu::always_inline]] inline void roundGroups(Streams& st, std::integer_sequence<int, G...>) {
    (roundGroup<First, G>(st), ...);
}

// The first digest word of every stream when the constant padding block follows. Out of line:
// few seed lengths need it.
[[gnu::noinline]] void trailer(Streams& st, const NonceBlock& block, std::uint32_t (&first)[4]) {
    const __m128i chainAbef = abef(block.chainState);
    const __m128i chainCdgh = cdgh(block.chainState);
    __m128i chained[kStreams];
    for (int l = 0; l < kStreams; ++l) {
        st.x[l] = _mm_add_epi32(st.x[l], chainAbef);
        st.y[l] = _mm_add_epi32(st.y[l], chainCdgh);
        chained[l] = st.x[l];
    }
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
        const __m128i kw =
            _mm_load_si128(reinterpret_cast<const __m128i*>(block.trailerKw + 4 * g));
        const __m128i kwHigh = _mm_shuffle_epi32(kw, 0x0E);
        for (int l = 0; l < kStreams; ++l) {
            st.y[l] = _mm_sha256rnds2_epu32(st.y[l], st.x[l], kw);
        }
        for (int l = 0; l < kStreams; ++l) {
            st.x[l] = _mm_sha256rnds2_epu32(st.x[l], st.y[l], kwHigh);
        }
    }
    for (int l = 0; l < kStreams; ++l) {
        first[l] = lane3(st.x[l]) + lane3(chained[l]);
    }
}

template <int SuffixWord>
KernelStop scanFrom(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                    const std::atomic<bool>& cancelled) {
    constexpr int kFirst = SuffixWord & ~1;  // rnds2 works in pairs of rounds
    constexpr int kVector = SuffixWord / 4;
    constexpr int kLane = SuffixWord % 4;
    __m128i words[4];
    for (int v = 0; v < 4; ++v) {
        words[v] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block.words + 4 * v));
    }
    // The rounds skipped ahead leave ABEF in y when their number of pairs is odd.
    const __m128i preAbef = abef(block.preState);
    const __m128i preCdgh = cdgh(block.preState);
    const bool oddPairs = (kFirst / 2) % 2 == 1;
    for (std::uint32_t s = from; s < to; s += kStreams) {
        if (((s - from) & 31) == 0 && searchCancelled(cancelled)) {
            return KernelStop{s, 0, 0, true};
        }
        Streams st;
        for (int l = 0; l < kStreams; ++l) {
            for (int v = 0; v < 4; ++v) {
                st.message[l][v] = words[v];
            }
            // Suffix words in lanes 0 and 1, then moved to the suffix word's place.
            const __m128i suffix =
                _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(block.suffixLow[s + l])),
                                   _mm_cvtsi32_si128(static_cast<int>(block.suffixHigh[s + l])));
            st.message[l][kVector] =
                _mm_or_si128(st.message[l][kVector], _mm_slli_si128(suffix, 4 * kLane));
            if constexpr (kLane == 3 && kVector < 3) {
                st.message[l][kVector + 1] =
                    _mm_or_si128(st.message[l][kVector + 1], _mm_srli_si128(suffix, 4));
            }
            st.x[l] = oddPairs ? preCdgh : preAbef;
            st.y[l] = oddPairs ? preAbef : preCdgh;
        }
        roundGroups<kFirst>(st, std::make_integer_sequence<int, 16>{});
        std::uint32_t first[kStreams];
        if (block.hasTrailer) {
            trailer(st, block, first);
        } else {
            for (int l = 0; l < kStreams; ++l) {
                first[l] = lane3(st.x[l]) + block.chainState[0];
            }
        }
        const KernelStop stop = stepEnd(candidateLanes(first, block.threshold), s, kStreams, to);
        if (stop.candidates != 0) {
            return stop;
        }
    }
    return KernelStop{to, 0, 0, false};
}

using Scan = KernelStop (*)(const NonceBlock&, std::uint32_t, std::uint32_t,
                            const std::atomic<bool>&);

constexpr Scan kScans[16] = {&scanFrom<0>,  &scanFrom<1>,  &scanFrom<2>,  &scanFrom<3>,
                             &scanFrom<4>,  &scanFrom<5>,  &scanFrom<6>,  &scanFrom<7>,
                             &scanFrom<8>,  &scanFrom<9>,  &scanFrom<10>, &scanFrom<11>,
                             &scanFrom<12>, &scanFrom<13>, &scanFrom<14>, &scanFrom<15>};

}  // namespace

KernelStop scanNoncesShaNi(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                           const std::atomic<bool>& cancelled) {
    return kScans[block.suffixWord & 15](block, from, to, cancelled);
}

}  // namespace corvanta::engine

#endif
