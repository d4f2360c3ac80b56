#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/difficulty.h"
#include "engine/sha256/nonce_searcher.h"
#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {
namespace {

using Hits = std::vector<std::uint64_t>;

constexpr std::uint64_t kMaxNonce = std::numeric_limits<std::uint64_t>::max();

// The search spelled out with OpenSSL: the seed hashed once, each nonce's digits appended to a
// copy.
Hits opensslHits(const std::string& seed, int difficulty, std::uint64_t start, std::uint64_t end) {
    using Context = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;
    Context seeded(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    Context work(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    EVP_DigestInit_ex(seeded.get(), EVP_sha256(), nullptr);
    EVP_DigestUpdate(seeded.get(), seed.data(), seed.size());
    Hits hits;
    for (std::uint64_t n = start; n < end; ++n) {
        char digits[24];
        const auto written = std::to_chars(digits, digits + sizeof digits, n);
        EVP_MD_CTX_copy_ex(work.get(), seeded.get());
        EVP_DigestUpdate(work.get(), digits, static_cast<std::size_t>(written.ptr - digits));
        Sha256Digest digest;
        EVP_DigestFinal_ex(work.get(), digest.data(), nullptr);
        if (meetsDifficulty(digest, difficulty)) {
            hits.push_back(n);
        }
    }
    return hits;
}

// Hits in the order onHit saw them; the whole range must be searched.
Hits searchHits(NonceSearcher& searcher, std::uint64_t start, std::uint64_t end) {
    const std::atomic<bool> never{false};
    Hits hits;
    const std::uint64_t searched =
        searcher.search(start, end, never, [&](std::uint64_t nonce) { hits.push_back(nonce); });
    EXPECT_EQ(searched, end - start);
    return hits;
}

struct Range {
    std::uint64_t start;
    std::uint64_t end;
};

// Ranges over every change of digit count, blocks of a thousand entered and left in the middle,
// and the top of the nonce space.
std::vector<Range> carryRanges() {
    std::vector<Range> ranges = {{0, 1'200}, {123'456'789 - 37, 123'456'789 + 2'100}};
    std::uint64_t power = 10'000;
    for (int k = 4; k < 20; ++k, power *= 10) {
        ranges.push_back({power - 40, power + 40});
    }
    ranges.push_back({kMaxNonce - 5'000, kMaxNonce});
    return ranges;
}

// `length` bytes of UTF-8: ASCII mixed with two-, three- and four-byte characters.
std::string randomSeed(std::mt19937_64& random, std::size_t length, bool multiByte) {
    static const std::string kPieces[] = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};
    std::string seed;
    while (seed.size() < length) {
        const std::size_t room = length - seed.size();
        const std::string& piece = kPieces[random() % 3];
        if (multiByte && random() % 3 == 0 && piece.size() <= room) {
            seed += piece;
        } else {
            seed.push_back(static_cast<char>(' ' + random() % 95));
        }
    }
    return seed;
}

std::string implName(Sha256Impl impl) {
    return std::string(sha256ImplName(impl));
}

TEST(NonceSearcher, EveryKernelFindsTheHitsOpenSslFinds) {
    std::mt19937_64 random(20240611);
    std::vector<std::string> seeds;
    for (std::size_t length : {55, 56, 63, 64, 119, 120, 128}) {
        seeds.push_back(randomSeed(random, length, false));
    }
    for (int i = 0; i < 24; ++i) {
        seeds.push_back(randomSeed(random, random() % 201, i % 2 == 1));
    }
    seeds.push_back("");
    seeds.push_back("abc");
    seeds.push_back("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq");
    seeds.push_back(
        "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
        "lmnopqrsmnopqrstnopqrstu");

    const auto ranges = carryRanges();
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string& seed = seeds[i];
        SCOPED_TRACE("seed #" + std::to_string(i) + " of " + std::to_string(seed.size()) +
                     " bytes");
        std::vector<Hits> expected;
        for (const Range& range : ranges) {
            expected.push_back(opensslHits(seed, 1, range.start, range.end));
        }
        // Rarer hits over a longer range, to reach the stricter candidate filters.
        const int difficulty = 2 + static_cast<int>(i % 2);
        const Range longRange{9'999'000 + i * 7, 10'019'000};
        const Hits expectedRare = opensslHits(seed, difficulty, longRange.start, longRange.end);

        for (Sha256Impl impl : supportedSha256Impls()) {
            SCOPED_TRACE(implName(impl));
            NonceSearcher searcher(seed, 1, impl);
            ASSERT_EQ(searcher.impl(), impl);
            for (std::size_t r = 0; r < ranges.size(); ++r) {
                ASSERT_EQ(searchHits(searcher, ranges[r].start, ranges[r].end), expected[r])
                    << "range [" << ranges[r].start << ", " << ranges[r].end << ")";
            }
            NonceSearcher rare(seed, difficulty, impl);
            ASSERT_EQ(searchHits(rare, longRange.start, longRange.end), expectedRare);
        }
    }
}

TEST(NonceSearcher, LongSeedsHashEveryBlock) {
    // The million-'a' message of the FIPS examples as a seed: 15625 whole blocks before the nonce.
    const std::string million(1'000'000, 'a');
    const std::string longer = million + "\xE2\x82\xAC" + std::string(37, 'z');
    for (const std::string& seed : {million, longer}) {
        const Hits expected = opensslHits(seed, 1, 99'990, 100'300);
        for (Sha256Impl impl : supportedSha256Impls()) {
            NonceSearcher searcher(seed, 1, impl);
            EXPECT_EQ(searchHits(searcher, 99'990, 100'300), expected) << implName(impl);
        }
    }
}

TEST(NonceSearcher, DifficultiesBelowOneAndAboveSixtyFour) {
    for (Sha256Impl impl : supportedSha256Impls()) {
        SCOPED_TRACE(implName(impl));
        for (int difficulty : {0, -3}) {
            NonceSearcher searcher("every", difficulty, impl);
            Hits all;
            for (std::uint64_t n = 95; n < 1'030; ++n) {
                all.push_back(n);
            }
            EXPECT_EQ(searchHits(searcher, 95, 1'030), all);
            EXPECT_EQ(searchHits(searcher, kMaxNonce - 3, kMaxNonce),
                      (Hits{kMaxNonce - 3, kMaxNonce - 2, kMaxNonce - 1}));
        }
        for (int difficulty : {64, 65, 1000}) {
            NonceSearcher searcher("none", difficulty, impl);
            EXPECT_EQ(searchHits(searcher, 0, 50'000), Hits{});
        }
        NonceSearcher huge("none", 65, impl);
        EXPECT_EQ(searchHits(huge, 0, kMaxNonce), Hits{});
    }
}

TEST(NonceSearcher, EmptyAndReversedRanges) {
    for (Sha256Impl impl : supportedSha256Impls()) {
        NonceSearcher searcher("seed", 0, impl);
        const std::atomic<bool> never{false};
        int calls = 0;
        EXPECT_EQ(searcher.search(5, 5, never, [&](std::uint64_t) { ++calls; }), 0u);
        EXPECT_EQ(calls, 0);
        EXPECT_THROW(searcher.search(6, 5, never, {}), std::invalid_argument);
        // Hits without a callback are simply not reported.
        EXPECT_EQ(searcher.search(0, 100, never, {}), 100u);
    }
}

TEST(NonceSearcher, CancellationStopsRightAfterTheHitThatAskedForIt) {
    const std::string seed = "cancel me";
    const Hits expected = opensslHits(seed, 1, 1'000'000, 1'004'000);
    ASSERT_GE(expected.size(), 10u);
    for (Sha256Impl impl : supportedSha256Impls()) {
        SCOPED_TRACE(implName(impl));
        for (int difficulty : {1, 0}) {
            NonceSearcher searcher(seed, difficulty, impl);
            std::atomic<bool> cancelled{true};
            int calls = 0;
            EXPECT_EQ(
                searcher.search(1'000'000, 1'004'000, cancelled, [&](std::uint64_t) { ++calls; }),
                0u);
            EXPECT_EQ(calls, 0);

            // Stop at the fifth hit: nothing after it is reported or counted.
            cancelled = false;
            Hits seen;
            const std::uint64_t searched =
                searcher.search(1'000'000, 1'004'000, cancelled, [&](std::uint64_t nonce) {
                    seen.push_back(nonce);
                    if (seen.size() == 5) {
                        cancelled = true;
                    }
                });
            ASSERT_EQ(seen.size(), 5u);
            const Hits firstFive =
                difficulty == 1 ? Hits(expected.begin(), expected.begin() + 5)
                                : Hits{1'000'000, 1'000'001, 1'000'002, 1'000'003, 1'000'004};
            EXPECT_EQ(seen, firstFive);
            EXPECT_EQ(searched, seen.back() - 1'000'000 + 1);
        }
    }
}

TEST(NonceSearcher, CancellationFromAnotherThreadEndsALongSearch) {
    // No hit to stop at: the kernels' own tests of the flag must end it.
    for (Sha256Impl impl : supportedSha256Impls()) {
        NonceSearcher searcher("long", 12, impl);
        std::atomic<bool> cancelled{false};
        std::uint64_t searched = 0;
        std::thread worker(
            [&] { searched = searcher.search(0, kMaxNonce, cancelled, [](std::uint64_t) {}); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        cancelled = true;
        worker.join();
        EXPECT_LT(searched, kMaxNonce) << implName(impl);
    }
}

}  // namespace
}  // namespace corvanta::engine
