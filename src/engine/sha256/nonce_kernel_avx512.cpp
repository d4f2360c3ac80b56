// AVX-512: two interleaved sets of sixteen lanes, 32 suffixes per step. One set leaves the
// round's dependency chain exposed; three run out of registers.
#if defined(__x86_64__)

#include <immintrin.h>

#include "engine/sha256/lane_kernel.h"

namespace corvanta::engine {

namespace {

// Three-input logic functions of vpternlogd, named by their truth tables.
constexpr int kXor3 = 0x96;
constexpr int kChoose = 0xCA;
constexpr int kMajority = 0xE8;

// Masked forms with every lane selected are the plain instructions; the unmasked intrinsics'
// undefined pass-through operand draws uninitialised-value warnings from GCC 12.
constexpr __mmask16 kAllLanes = 0xFFFF;

template <int N>
[[gnu::always_inline]] inline __m512i ror(__m512i x) {
    return _mm512_mask_ror_epi32(x, kAllLanes, x, N);
}

template <unsigned N>
[[gnu::always_inline]] inline __m512i shr(__m512i x) {
    return _mm512_maskz_srli_epi32(kAllLanes, x, N);
}

struct Avx512Ops {
    using V = __m512i;
    static constexpr std::uint32_t kLanes = 16;
    [[gnu::always_inline]] static inline V set1(std::uint32_t x) {
        return _mm512_set1_epi32(static_cast<int>(x));
    }
    [[gnu::always_inline]] static inline V load(const std::uint32_t* p) {
        return _mm512_loadu_si512(p);
    }
    [[gnu::always_inline]] static inline V add(V a, V b) { return _mm512_add_epi32(a, b); }
    [[gnu::always_inline]] static inline V bitOr(V a, V b) { return _mm512_or_si512(a, b); }
    [[gnu::always_inline]] static inline V bigSigma0(V a) {
        return _mm512_ternarylogic_epi32(ror<2>(a), ror<13>(a), ror<22>(a), kXor3);
    }
    [[gnu::always_inline]] static inline V bigSigma1(V e) {
        return _mm512_ternarylogic_epi32(ror<6>(e), ror<11>(e), ror<25>(e), kXor3);
    }
    [[gnu::always_inline]] static inline V smallSigma0(V x) {
        return _mm512_ternarylogic_epi32(ror<7>(x), ror<18>(x), shr<3>(x), kXor3);
    }
    [[gnu::always_inline]] static inline V smallSigma1(V x) {
        return _mm512_ternarylogic_epi32(ror<17>(x), ror<19>(x), shr<10>(x), kXor3);
    }
    [[gnu::always_inline]] static inline V choose(V e, V f, V g) {
        return _mm512_ternarylogic_epi32(e, f, g, kChoose);
    }
    [[gnu::always_inline]] static inline V majority(V a, V b, V c) {
        return _mm512_ternarylogic_epi32(a, b, c, kMajority);
    }
    [[gnu::always_inline]] static inline unsigned below(V a, V b) {
        return _mm512_cmplt_epu32_mask(a, b);
    }
};

}  // namespace

KernelStop scanNoncesAvx512(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                            const std::atomic<bool>& cancelled) {
    return LaneKernel<Avx512Ops, 2>::scan(block, from, to, cancelled);
}

}  // namespace corvanta::engine

#endif
