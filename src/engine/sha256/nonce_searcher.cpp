#include "engine/sha256/nonce_searcher.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "engine/difficulty.h"
#include "engine/sha256/nonce_kernel.h"
#include "engine/sha256/sha256.h"
#include "engine/sha256/sha256_constants.h"

namespace corvanta::engine {

namespace {

constexpr std::uint64_t kYieldInterval = 16384;
constexpr int kSuffixDigits = 3;
constexpr int kMaxDigits = 20;

// 10^0 to 10^19: the bounds of each digit count.
constexpr auto kPowersOfTen = [] {
    std::array<std::uint64_t, kMaxDigits> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
        entry = power;
        power *= 10;  // wraps once past 10^19, unused
    }
    return powers;
}();
static_assert(kPowersOfTen[kSuffixDigits] == kMaxSuffixes);

int decimalDigits(std::uint64_t n) {
    int digits = 1;
    while (digits < kMaxDigits && n >= kPowersOfTen[digits]) {
        ++digits;
    }
    return digits;
}

// n in ASCII decimal, exactly `width` digits (leading zeros where n is shorter).
void writeDigits(std::uint64_t n, int width, std::uint8_t* out) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<std::uint8_t>('0' + n % 10);
        n /= 10;
    }
}

// The first digest word holds the first eight hex digits: it is below 2^(32 - 4d) exactly when
// its first d of them are zero. Beyond eight digits a zero first word is necessary, not enough,
// which the re-check of every candidate covers.
std::uint32_t candidateThreshold(int difficulty) {
    const int digits = std::clamp(difficulty, 1, 8);
    return digits == 8 ? 1u : std::uint32_t{1} << (32 - 4 * digits);
}

}  // namespace

// Message layout: the seed's whole 64-byte blocks are hashed once into `midstate`; what follows
// (the seed's last partial block, the nonce's digits and the padding) is the tail, one or two
// blocks. The last few digits of a nonce (the suffix) lie in one tail block; `block` holds that
// block for the current prefix and the suffix digits pre-placed as words.
struct NonceSearcher::State {
    NonceBlock block;  // first member: the kernel's data sits at the aligned start
    std::uint32_t midstate[8] = {};
    std::uint8_t seedTail[64] = {};
    int seedTailLength = 0;
    std::uint64_t seedLength = 0;
    int difficulty = 0;
    NonceKernelInfo kernel;

    // The digit count `block` is laid out for (0: none yet) and that layout.
    int digits = 0;
    int suffixDigits = 0;
    std::uint32_t suffixCount = 0;
    int suffixBlock = 0;  // which tail block holds the suffix

    // Writes the tail for the given digits into `buffer`; returns its number of blocks.
    int writeTail(std::uint8_t (&buffer)[128], const std::uint8_t* digitBytes, int count) const {
        std::memcpy(buffer, seedTail, static_cast<std::size_t>(seedTailLength));
        std::memcpy(buffer + seedTailLength, digitBytes, static_cast<std::size_t>(count));
        return sha256PadTail(buffer, static_cast<std::size_t>(seedTailLength + count),
                             seedLength + static_cast<std::uint64_t>(count));
    }

    void layOut(int digitCount) {
        if (digits == digitCount) {
            return;
        }
        digits = digitCount;
        const int length = seedTailLength + digitCount;
        const int tailBlocks = length + 9 <= 64 ? 1 : 2;
        suffixBlock = (length - 1) / 64;
        // The suffix must not straddle two blocks: where it would, it shrinks to the digits in
        // the last one.
        int m = std::min(kSuffixDigits, digitCount);
        if ((length - m) / 64 != suffixBlock) {
            m = length - 64 * suffixBlock;
        }
        suffixDigits = m;
        suffixCount = static_cast<std::uint32_t>(kPowersOfTen[m]);
        const int offset = length - m - 64 * suffixBlock;
        block.suffixWord = offset / 4;
        block.preRounds = block.suffixWord - block.suffixWord % kernel.roundGranule;
        block.hasTrailer = tailBlocks == 2 && suffixBlock == 0;

        std::memset(block.suffixLow, 0, sizeof block.suffixLow);
        std::memset(block.suffixHigh, 0, sizeof block.suffixHigh);
        for (std::uint32_t s = 0; s < suffixCount; ++s) {
            std::uint8_t text[kSuffixDigits];
            writeDigits(s, m, text);
            for (int i = 0; i < m; ++i) {
                const int position = offset + i;
                const std::uint32_t placed = std::uint32_t{text[i]} << (24 - 8 * (position % 4));
                if (position / 4 == block.suffixWord) {
                    block.suffixLow[s] |= placed;
                } else {
                    block.suffixHigh[s] |= placed;
                }
            }
        }

        if (block.hasTrailer) {
            // The second block holds nothing but padding, the same for every nonce of this length.
            const std::uint8_t zeros[kMaxDigits] = {};
            std::uint8_t buffer[128];
            writeTail(buffer, zeros, digitCount);
            std::uint32_t words[16];
            sha256LoadWords(buffer + 64, words, 16);
            std::uint32_t w[64];
            sha256Schedule(words, w);
            for (int i = 0; i < 64; ++i) {
                block.trailerKw[i] = kSha256K[i] + w[i];
            }
        }
    }

    // Fills `block` for the nonces prefix * suffixCount + [0, suffixCount).
    void preparePrefix(std::uint64_t prefix) {
        std::uint8_t digitBytes[kMaxDigits] = {};  // the suffix digits stay zero
        writeDigits(prefix, digits - suffixDigits, digitBytes);
        std::uint8_t buffer[128];
        writeTail(buffer, digitBytes, digits);
        std::memcpy(block.chainState, midstate, sizeof midstate);
        if (suffixBlock == 1) {
            std::uint32_t words[16];
            sha256LoadWords(buffer, words, 16);
            sha256Compress(block.chainState, words);
        }
        sha256LoadWords(buffer + 64 * suffixBlock, block.words, 16);
        std::memcpy(block.preState, block.chainState, sizeof block.preState);
        sha256Rounds(block.preState, block.words, block.preRounds);
    }

    // The plain hash of the nonce's whole message (from the midstate) against the difficulty.
    bool isHit(std::uint64_t nonce) const {
        std::uint8_t digitBytes[kMaxDigits];
        const int count = decimalDigits(nonce);
        writeDigits(nonce, count, digitBytes);
        std::uint8_t buffer[128];
        const int blocks = writeTail(buffer, digitBytes, count);
        std::uint32_t hash[8];
        std::memcpy(hash, midstate, sizeof hash);
        for (int b = 0; b < blocks; ++b) {
            std::uint32_t words[16];
            sha256LoadWords(buffer + 64 * b, words, 16);
            sha256Compress(hash, words);
        }
        return meetsDifficulty(sha256Digest(hash), difficulty);
    }
};

NonceSearcher::NonceSearcher(std::string_view seed, int difficulty, Sha256Impl impl)
    : impl_(sha256ImplSupported(impl) ? impl : Sha256Impl::scalar),
      state_(std::make_unique<State>()) {
    State& st = *state_;
    st.kernel = nonceKernelInfo(impl_);
    st.difficulty = difficulty;
    st.block.threshold = candidateThreshold(difficulty);
    st.seedLength = seed.size();
    std::memcpy(st.midstate, kSha256InitialState, sizeof st.midstate);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(seed.data());
    const std::size_t wholeBlocks = seed.size() / 64;
    for (std::size_t b = 0; b < wholeBlocks; ++b) {
        std::uint32_t words[16];
        sha256LoadWords(bytes + 64 * b, words, 16);
        sha256Compress(st.midstate, words);
    }
    st.seedTailLength = static_cast<int>(seed.size() - 64 * wholeBlocks);
    std::memcpy(st.seedTail, bytes + 64 * wholeBlocks, static_cast<std::size_t>(st.seedTailLength));
}

NonceSearcher::~NonceSearcher() = default;

std::uint64_t NonceSearcher::search(std::uint64_t start, std::uint64_t end,
                                    const std::atomic<bool>& cancelled, const HitCallback& onHit) {
    if (start > end) {
        throw std::invalid_argument("nonce range start lies above its end");
    }
    if (start == end || cancelled.load(std::memory_order_relaxed)) {
        return 0;
    }
    State& st = *state_;
    if (st.difficulty > 64) {
        return end - start;  // no digest has more than 64 hex digits
    }
    if (st.difficulty < 1) {
        // Every nonce is a hit; no hashing needed.
        for (std::uint64_t n = start; n < end; ++n) {
            if (onHit) {
                onHit(n);
            }
            const std::uint64_t searched = n - start + 1;
            if (cancelled.load(std::memory_order_relaxed)) {
                return searched;
            }
            if (searched % kYieldInterval == 0) {
                std::this_thread::yield();
            }
        }
        return end - start;
    }

    std::uint64_t n = start;
    while (n < end) {
        const int digits = decimalDigits(n);
        const std::uint64_t digitsEnd =
            digits == kMaxDigits ? end : std::min(end, kPowersOfTen[digits]);
        st.layOut(digits);
        const std::uint64_t count = st.suffixCount;
        while (n < digitsEnd) {
            const std::uint64_t base = n / count * count;
            st.preparePrefix(n / count);
            // In suffixes; never forms base + count, which may lie beyond 2^64 - 1.
            const auto blockEnd = static_cast<std::uint32_t>(std::min(digitsEnd - base, count));
            auto from = static_cast<std::uint32_t>(n - base);
            while (from < blockEnd) {
                // Scan up to the next multiple of kYieldInterval nonces searched, to yield there.
                const std::uint64_t untilYield =
                    kYieldInterval - (base + from - start) % kYieldInterval;
                const auto to = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(blockEnd, from + untilYield));
                const KernelStop stop = st.kernel.scan(st.block, from, to, cancelled);
                if (stop.cancelled) {
                    return base + stop.next - start;
                }
                for (std::uint64_t lanes = stop.candidates; lanes != 0; lanes &= lanes - 1) {
                    const std::uint64_t nonce =
                        base + stop.candidateBase + static_cast<unsigned>(std::countr_zero(lanes));
                    if (st.isHit(nonce)) {
                        if (onHit) {
                            onHit(nonce);
                        }
                        if (cancelled.load(std::memory_order_relaxed)) {
                            return nonce - start + 1;
                        }
                    }
                }
                from = stop.next;
                if ((base + from - start) % kYieldInterval == 0) {
                    std::this_thread::yield();
                }
            }
            n = base + blockEnd;
        }
    }
    return end - start;
}

}  // namespace corvanta::engine
