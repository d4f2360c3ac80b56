#pragma once

// The lane kernel: one SHA-256 per lane of a vector (or of a plain word), consecutive suffixes in
// consecutive lanes. The scalar, AVX2 and AVX-512 sources each instantiate it with an operations
// type from their own anonymous namespace, which keeps every instantiation local to the source
// compiled for its instruction set: the linker can never hand one source's code to another.

#include <cstdint>
#include <utility>

#include "engine/sha256/kernel_step.h"
#include "engine/sha256/nonce_kernel.h"
#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

// Ops supplies V (one 32-bit word per lane), kLanes, set1, load (kLanes words, unaligned), add,
// bitOr, bigSigma0, bigSigma1, smallSigma0, smallSigma1, choose, majority and below (the lane
// mask of a < b, unsigned). Sets independent groups of lanes run interleaved round by round, so
// that one group's dependency chain hides the other's latency.
template <class Ops, int Sets>
class LaneKernel {
public:
    using V = typename Ops::V;
    static constexpr std::uint32_t kStep = Ops::kLanes * Sets;
    static_assert(kStep <= kMaxKernelStep && kStep <= 64);

    static KernelStop scan(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                           const std::atomic<bool>& cancelled) {
        // The first changing message word is a template argument: the rounds before it and the
        // schedule terms of constant words then fold into per-block constants.
        using Scan = KernelStop (*)(const NonceBlock&, std::uint32_t, std::uint32_t,
                                    const std::atomic<bool>&);
        static constexpr Scan kScans[16] = {
            &scanFrom<0>,  &scanFrom<1>,  &scanFrom<2>,  &scanFrom<3>, &scanFrom<4>,  &scanFrom<5>,
            &scanFrom<6>,  &scanFrom<7>,  &scanFrom<8>,  &scanFrom<9>, &scanFrom<10>, &scanFrom<11>,
            &scanFrom<12>, &scanFrom<13>, &scanFrom<14>, &scanFrom<15>};
        return kScans[block.suffixWord & 15](block, from, to, cancelled);
    }

private:
    using State = V[Sets][8];
    using Schedule = V[Sets][16];

    // Round I for every set, rounds before First skipped (their state comes precomputed); the
    // message schedule runs from round 16 on regardless. The working variables rotate through
    // state[] instead of being moved: at round I, variable k (a = 0 ... h = 7) sits in
    // state[(k - I) & 7], so after round 63 variable k is back in state[k].
    template <int First, int I>
    [[gnu::always_inline]] static inline void round(State& state, Schedule& w) {
#pragma GCC unroll 4
        for (int z = 0; z < Sets; ++z) {
            V* m = w[z];
            if constexpr (I >= 16) {
                m[I & 15] = Ops::add(Ops::add(m[I & 15], Ops::smallSigma1(m[(I - 2) & 15])),
                                     Ops::add(m[(I - 7) & 15], Ops::smallSigma0(m[(I - 15) & 15])));
            }
            if constexpr (I >= First) {
                V* s = state[z];
                const V a = s[(0 - I) & 7];
                const V b = s[(1 - I) & 7];
                const V c = s[(2 - I) & 7];
                V& d = s[(3 - I) & 7];
                const V e = s[(4 - I) & 7];
                const V f = s[(5 - I) & 7];
                const V g = s[(6 - I) & 7];
                V& h = s[(7 - I) & 7];
                const V t1 = Ops::add(
                    Ops::add(h, Ops::bigSigma1(e)),
                    Ops::add(Ops::choose(e, f, g), Ops::add(Ops::set1(kSha256K[I]), m[I & 15])));
                d = Ops::add(d, t1);
                h = Ops::add(t1, Ops::add(Ops::bigSigma0(a), Ops::majority(a, b, c)));
            }
        }
    }

    template <int First, int... I>
    [[gnu::always_inline]] static inline void rounds(State& state, Schedule& w,
                                                     std::integer_sequence<int, I...>) {
        (round<First, I>(state, w), ...);
    }

    // Round I of a block whose K + W are known in advance.
    template <int I>
    [[gnu::always_inline]] static inline void constantRound(State& state, const std::uint32_t* kw) {
#pragma GCC unroll 4
        for (int z = 0; z < Sets; ++z) {
            V* s = state[z];
            const V a = s[(0 - I) & 7];
            const V b = s[(1 - I) & 7];
            const V c = s[(2 - I) & 7];
            V& d = s[(3 - I) & 7];
            const V e = s[(4 - I) & 7];
            const V f = s[(5 - I) & 7];
            const V g = s[(6 - I) & 7];
            V& h = s[(7 - I) & 7];
            const V t1 = Ops::add(Ops::add(h, Ops::bigSigma1(e)),
                                  Ops::add(Ops::choose(e, f, g), Ops::set1(kw[I])));
            d = Ops::add(d, t1);
            h = Ops::add(t1, Ops::add(Ops::bigSigma0(a), Ops::majority(a, b, c)));
        }
    }

    template <int... I>
    [[gnu::always_inline]] static inline void constantRounds(State& state, const std::uint32_t* kw,
                                                             std::integer_sequence<int, I...>) {
        (constantRound<I>(state, kw), ...);
    }

    // The first digest word when the suffix block is followed by the constant padding block.
    // Out of line: few seed lengths need it, and it would double every instantiation's size.
    [[gnu::noinline]] static void trailer(State& state, const NonceBlock& block, V (&first)[Sets]) {
        V chained[Sets];
#pragma GCC unroll 4
        for (int z = 0; z < Sets; ++z) {
            for (int k = 0; k < 8; ++k) {
                state[z][k] = Ops::add(state[z][k], Ops::set1(block.chainState[k]));
            }
            chained[z] = state[z][0];
        }
        constantRounds(state, block.trailerKw, std::make_integer_sequence<int, 64>{});
#pragma GCC unroll 4
        for (int z = 0; z < Sets; ++z) {
            first[z] = Ops::add(state[z][0], chained[z]);
        }
    }

    // Steps of kStep suffixes from `from`; lane l of set z hashes suffix s + z * kLanes + l.
    template <int SuffixWord>
    static KernelStop scanFrom(const NonceBlock& block, std::uint32_t from, std::uint32_t to,
                               const std::atomic<bool>& cancelled) {
        V pre[8];
        V words[16];
        for (int k = 0; k < 8; ++k) {
            pre[k] = Ops::set1(block.preState[k]);
        }
        for (int i = 0; i < 16; ++i) {
            words[i] = Ops::set1(block.words[i]);
        }
        const V chain0 = Ops::set1(block.chainState[0]);
        const V threshold = Ops::set1(block.threshold);
        for (std::uint32_t s = from; s < to; s += kStep) {
            if (((s - from) & 31) == 0 && searchCancelled(cancelled)) {
                return KernelStop{s, 0, 0, true};
            }
            State state;
            Schedule w;
#pragma GCC unroll 4
            for (int z = 0; z < Sets; ++z) {
                for (int i = 0; i < 16; ++i) {
                    w[z][i] = words[i];
                }
                const std::uint32_t lane0 = s + static_cast<std::uint32_t>(z) * Ops::kLanes;
                w[z][SuffixWord] =
                    Ops::bitOr(words[SuffixWord], Ops::load(block.suffixLow + lane0));
                if constexpr (SuffixWord < 15) {
                    w[z][SuffixWord + 1] =
                        Ops::bitOr(words[SuffixWord + 1], Ops::load(block.suffixHigh + lane0));
                }
                for (int k = 0; k < 8; ++k) {
                    state[z][(k - SuffixWord) & 7] = pre[k];
                }
            }
            rounds<SuffixWord>(state, w, std::make_integer_sequence<int, 64>{});
            V first[Sets];
            if (block.hasTrailer) {
                trailer(state, block, first);
            } else {
#pragma GCC unroll 4
                for (int z = 0; z < Sets; ++z) {
                    first[z] = Ops::add(state[z][0], chain0);
                }
            }
            std::uint64_t mask = 0;
#pragma GCC unroll 4
            for (int z = 0; z < Sets; ++z) {
                mask |= static_cast<std::uint64_t>(Ops::below(first[z], threshold))
                        << (z * Ops::kLanes);
            }
            const KernelStop stop = stepEnd(mask, s, kStep, to);
            if (stop.candidates != 0) {
                return stop;
            }
        }
        return KernelStop{to, 0, 0, false};
    }
};

}  // namespace corvanta::engine
