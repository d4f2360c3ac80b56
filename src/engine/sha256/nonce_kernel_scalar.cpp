// The portable kernel: plain 32-bit words, one suffix per step.
#include "engine/sha256/lane_kernel.h"

namespace corvanta::engine {

namespace {

constexpr std::uint32_t ror(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

struct WordOps {
    using V = std::uint32_t;
    static constexpr std::uint32_t kLanes = 1;
    static V set1(std::uint32_t x) { return x; }
    static V load(const std::uint32_t* p) { return *p; }
    static V add(V a, V b) { return a + b; }
    static V bitOr(V a, V b) { return a | b; }
    static V bigSigma0(V a) { return ror(a, 2) ^ ror(a, 13) ^ ror(a, 22); }
    static V bigSigma1(V e) { return ror(e, 6) ^ ror(e, 11) ^ ror(e, 25); }
    static V smallSigma0(V x) { return ror(x, 7) ^ ror(x, 18) ^ (x >> 3); }
    static V smallSigma1(V x) { return ror(x, 17) ^ ror(x, 19) ^ (x >> 10); }
    static V choose(V e, V f, V g) { return g ^ (e & (f ^ g)); }
    static V majority(V a, V b, V c) { return (a & b) | (c & (a | b)); }
    static unsigned below(V a, V b) { return a < b ? 1u : 0u; }
};

}  // namespace

KernelStop scanNoncesScalar(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                            const std::atomic<bool>& cancelled) {
    return LaneKernel<WordOps, 1>::scan(block, from, to, cancelled);
}

}  // namespace corvanta::engine
