// AVX2: eight suffixes per step. A second interleaved set of eight runs out of the sixteen
// vector registers and is slower, so there is one.
#if defined(__x86_64__)

#include <immintrin.h>

#include "engine/sha256/lane_kernel.h"

namespace corvanta::engine {

namespace {

template <int N>
[[gnu::always_inline]] inline __m256i ror(__m256i x) {
    return _mm256_or_si256(_mm256_srli_epi32(x, N), _mm256_slli_epi32(x, 32 - N));
}

[[gnu::always_inline]] inline __m256i xor3(__m256i a, __m256i b, __m256i c) {
    return _mm256_xor_si256(_mm256_xor_si256(a, b), c);
}

struct Avx2Ops {
    using V = __m256i;
    static constexpr std::uint32_t kLanes = 8;
    [[gnu::always_inline]] static inline V set1(std::uint32_t x) {
        return _mm256_set1_epi32(static_cast<int>(x));
    }
    [[gnu::always_inline]] static inline V load(const std::uint32_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    [[gnu::always_inline]] static inline V add(V a, V b) { return _mm256_add_epi32(a, b); }
    [[gnu::always_inline]] static inline V bitOr(V a, V b) { return _mm256_or_si256(a, b); }
    [[gnu::always_inline]] static inline V bigSigma0(V a) {
        return xor3(ror<2>(a), ror<13>(a), ror<22>(a));
    }
    [[gnu::always_inline]] static inline V bigSigma1(V e) {
        return xor3(ror<6>(e), ror<11>(e), ror<25>(e));
    }
    [[gnu::always_inline]] static inline V smallSigma0(V x) {
        return xor3(ror<7>(x), ror<18>(x), _mm256_srli_epi32(x, 3));
    }
    [[gnu::always_inline]] static inline V smallSigma1(V x) {
        return xor3(ror<17>(x), ror<19>(x), _mm256_srli_epi32(x, 10));
    }
    [[gnu::always_inline]] static inline V choose(V e, V f, V g) {
        return _mm256_xor_si256(g, _mm256_and_si256(e, _mm256_xor_si256(f, g)));
    }
    [[gnu::always_inline]] static inline V majority(V a, V b, V c) {
        return _mm256_or_si256(_mm256_and_si256(a, b), _mm256_and_si256(c, _mm256_or_si256(a, b)));
    }
    // AVX2 has no unsigned compare: flipping the sign bits turns it into a signed one.
    [[gnu::always_inline]] static inline unsigned below(V a, V b) {
        const V bias = _mm256_set1_epi32(static_cast<int>(0x80000000u));
        const V less = _mm256_cmpgt_epi32(_mm256_xor_si256(b, bias), _mm256_xor_si256(a, bias));
        return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(less)));
    }
};

}  // namespace

KernelStop scanNoncesAvx2(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                          const std::atomic<bool>& cancelled) {
    return LaneKernel<Avx2Ops, 1>::scan(block, from, to, cancelled);
}

}  // namespace corvanta::engine

#endif
