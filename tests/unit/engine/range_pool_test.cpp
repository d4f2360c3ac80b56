#include <gtest/gtest.h>

#include <limits>
#include <thread>
#include <vector>

#include "engine/range_pool.h"

namespace corvanta::engine {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(NormalizeRanges, DropsEmptySortsAndMergesTouchingRanges) {
    EXPECT_TRUE(normalizeRanges({}).empty());
    EXPECT_EQ(normalizeRanges({{0, 100}, {100, 200}}), (std::vector<NonceRange>{{0, 200}}));
    EXPECT_EQ(normalizeRanges({{101, 200}, {0, 100}}),
              (std::vector<NonceRange>{{0, 100}, {101, 200}}));
    EXPECT_EQ(normalizeRanges({{5, 5}, {9, 3}, {50, 60}, {10, 55}, {0, 10}, {70, 80}}),
              (std::vector<NonceRange>{{0, 60}, {70, 80}}));
    // A range contained in another does not shorten it.
    EXPECT_EQ(normalizeRanges({{0, 100}, {10, 20}}), (std::vector<NonceRange>{{0, 100}}));
    EXPECT_EQ(normalizeRanges({{kMax - 10, kMax}, {kMax - 20, kMax - 10}}),
              (std::vector<NonceRange>{{kMax - 20, kMax}}));
}

TEST(RangePool, FreshPoolHandsOutAscendingPiecesThenReturnedRangesFirst) {
    RangePool pool(10, 25);
    EXPECT_EQ(pool.pendingRangeCount(), 1u);
    EXPECT_EQ(pool.claim(0), std::nullopt);  // size 0 changes nothing
    EXPECT_EQ(pool.snapshot().nextUnallocated, 10u);
    EXPECT_EQ(pool.claim(10), (NonceRange{10, 20}));
    EXPECT_EQ(pool.claim(10), (NonceRange{20, 25}));
    EXPECT_EQ(pool.claim(10), std::nullopt);
    EXPECT_TRUE(pool.isExhausted());

    pool.returnRange({10, 20});
    pool.returnRange({20, 25});
    EXPECT_FALSE(pool.isExhausted());
    auto snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.returnedRanges, (std::vector<NonceRange>{{10, 25}}));
    EXPECT_TRUE(snapshot.claimedRanges.empty());
    EXPECT_EQ(pool.claim(0), std::nullopt);  // even with fragments waiting
    // A fragment goes out whole, whatever size is asked for.
    EXPECT_EQ(pool.claim(3), (NonceRange{10, 25}));
    EXPECT_EQ(pool.snapshot().claimedRanges, (std::vector<NonceRange>{{10, 25}}));
}

TEST(RangePool, ReturnsMergeAndTheHighestFragmentGoesFirst) {
    RangePool pool(0, 1000);
    pool.returnRange({0, 5});
    pool.returnRange({10, 15});
    pool.returnRange({5, 10});
    EXPECT_EQ(pool.snapshot().returnedRanges, (std::vector<NonceRange>{{0, 15}}));

    pool.returnRange({100, 110});
    EXPECT_EQ(pool.pendingRangeCount(), 3u);  // two fragments and the fresh nonces
    EXPECT_EQ(pool.claim(1), (NonceRange{100, 110}));
    EXPECT_EQ(pool.claim(1), (NonceRange{0, 15}));
    EXPECT_EQ(pool.claim(7), (NonceRange{0, 7}));  // fresh nonces from the start
}

TEST(RangePool, EmptyRangesAndDuplicateClaims) {
    RangePool pool(0, 100);
    const NonceRange range = *pool.claim(10);
    pool.returnRange({0, 0});
    pool.complete({3, 3});
    auto snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.claimedRanges, (std::vector<NonceRange>{range}));
    EXPECT_TRUE(snapshot.returnedRanges.empty());
    EXPECT_TRUE(snapshot.completedRanges.empty());

    // Halves given back separately merge into a fragment equal to the claimed range, which can
    // then be claimed while the first claim is still listed. One completion removes both.
    pool.returnRange({0, 5});
    pool.returnRange({5, 10});
    EXPECT_EQ(pool.claim(1), range);
    EXPECT_EQ(pool.snapshot().claimedRanges, (std::vector<NonceRange>{range, range}));
    const NonceRange other = *pool.claim(10);
    pool.complete(range);
    snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.claimedRanges, (std::vector<NonceRange>{other}));
    EXPECT_EQ(snapshot.completedRanges, (std::vector<NonceRange>{range}));

    // A range that was never claimed is taken back all the same.
    pool.returnRange({90, 95});
    EXPECT_EQ(pool.snapshot().returnedRanges, (std::vector<NonceRange>{{90, 95}}));
}

TEST(RangePool, CompletedRangesAreBookkeepingOnly) {
    RangePool pool(0, 30);
    auto a = *pool.claim(10);
    auto b = *pool.claim(10);
    pool.complete(b);
    pool.complete(a);
    auto snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.completedRanges, (std::vector<NonceRange>{{0, 20}}));
    EXPECT_TRUE(snapshot.claimedRanges.empty());
    EXPECT_EQ(pool.claim(100), (NonceRange{20, 30}));
}

TEST(RangePool, RestoreClampsAndSearchesClaimedRangesAgain) {
    RangePool below(100, 200, 5, {}, {}, {});
    EXPECT_EQ(below.snapshot().nextUnallocated, 100u);
    RangePool above(100, 200, 500, {}, {}, {});
    EXPECT_EQ(above.snapshot().nextUnallocated, 200u);
    EXPECT_TRUE(above.isExhausted());

    RangePool restored(0, 1000, 400, {{300, 400}, {250, 300}}, {{100, 200}}, {{0, 100}, {0, 100}});
    auto snapshot = restored.snapshot();
    EXPECT_EQ(snapshot.returnedRanges, (std::vector<NonceRange>{{0, 200}}));
    EXPECT_TRUE(snapshot.claimedRanges.empty());
    EXPECT_EQ(snapshot.completedRanges, (std::vector<NonceRange>{{250, 400}}));
    EXPECT_EQ(restored.claim(250), (NonceRange{0, 200}));
    EXPECT_EQ(restored.claim(500), (NonceRange{400, 900}));
}

TEST(RangePool, RestoredFragmentsGoOutInPiecesOfTheClaimedSize) {
    // A task killed often: what was in flight merged into one large fragment.
    RangePool pool(0, 10'000, 9'000, {{0, 1'000}}, {{1'000, 5'000}}, {{5'000, 9'000}});
    EXPECT_EQ(pool.claim(1'500), (NonceRange{1'000, 2'500}));
    EXPECT_EQ(pool.snapshot().returnedRanges, (std::vector<NonceRange>{{2'500, 9'000}}));
    EXPECT_EQ(pool.claim(1'500), (NonceRange{2'500, 4'000}));
    // A piece given back joins the rest of its fragment again.
    pool.returnRange({2'500, 4'000});
    EXPECT_EQ(pool.snapshot().returnedRanges, (std::vector<NonceRange>{{2'500, 9'000}}));
    std::uint64_t handedOut = 1'500;
    while (auto range = pool.claim(2'000)) {
        EXPECT_LE(range->size(), 2'000u);
        handedOut += range->size();
        pool.complete(*range);
    }
    EXPECT_EQ(handedOut, 9'000u);  // the fragments and the fresh nonces, each once
    EXPECT_TRUE(pool.isExhausted());
}

TEST(RangePool, ADamagedRestoredRowClaimsNothingOutsideTheSpaceAndNothingCompleted) {
    // Overlapping, inverted and out-of-bound ranges, completed ranges above the saved next
    // nonce and unfinished ranges that overlap completed ones.
    RangePool pool(100, 1'000, 300, {{150, 200}, {500, 600}, {900, 5'000}, {700, 650}},
                   {{0, 160}, {180, 260}, {2'000, 3'000}, {40, 20}},
                   {{250, 320}, {550, 560}, {990, kMax}});
    const auto snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.completedRanges,
              (std::vector<NonceRange>{{150, 200}, {500, 600}, {900, 1'000}}));
    EXPECT_EQ(snapshot.nextUnallocated, 1'000u);
    std::vector<NonceRange> claimed;
    while (auto range = pool.claim(64)) {
        claimed.push_back(*range);
    }
    std::sort(claimed.begin(), claimed.end());
    // Every nonce of [100, 1000) not completed goes out exactly once.
    EXPECT_EQ(normalizeRanges(claimed),
              (std::vector<NonceRange>{{100, 150}, {200, 500}, {600, 900}}));
    for (std::size_t i = 1; i < claimed.size(); ++i) {
        EXPECT_LE(claimed[i - 1].end, claimed[i].start);
    }
}

TEST(RangePool, LowerBoundAtOrAboveUpperBoundIsExhaustedFromTheStart) {
    RangePool equal(50, 50);
    EXPECT_TRUE(equal.isExhausted());
    EXPECT_EQ(equal.claim(1), std::nullopt);
    RangePool inverted(60, 50);
    EXPECT_TRUE(inverted.isExhausted());
    EXPECT_EQ(inverted.pendingRangeCount(), 0u);
    EXPECT_EQ(inverted.claim(1), std::nullopt);
}

TEST(RangePool, PiecesNearTheTopOfTheNonceSpaceDoNotWrap) {
    RangePool pool(kMax - 10, kMax);
    EXPECT_EQ(pool.claim(kMax), (NonceRange{kMax - 10, kMax}));
    EXPECT_EQ(pool.claim(kMax), std::nullopt);
    RangePool small(kMax - 10, kMax);
    EXPECT_EQ(small.claim(4), (NonceRange{kMax - 10, kMax - 6}));
    EXPECT_EQ(small.claim(4), (NonceRange{kMax - 6, kMax - 2}));
    EXPECT_EQ(small.claim(4), (NonceRange{kMax - 2, kMax}));
    EXPECT_TRUE(small.isExhausted());
}

TEST(RangePool, ConcurrentLanesNeverShareANonce) {
    RangePool pool(0, 100'000);
    std::vector<std::vector<NonceRange>> claimed(4);
    std::vector<std::thread> lanes;
    for (int lane = 0; lane < 4; ++lane) {
        lanes.emplace_back([&, lane] {
            int round = 0;
            while (auto range = pool.claim(37)) {
                // Give every third range back once: it must come out again exactly once.
                if (++round % 3 == 0) {
                    pool.returnRange(*range);
                } else {
                    claimed[lane].push_back(*range);
                    pool.complete(*range);
                }
            }
        });
    }
    for (auto& lane : lanes) {
        lane.join();
    }
    std::vector<NonceRange> all;
    for (const auto& ranges : claimed) {
        all.insert(all.end(), ranges.begin(), ranges.end());
    }
    std::sort(all.begin(), all.end());
    std::uint64_t covered = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        covered += all[i].size();
        if (i > 0) {
            EXPECT_LE(all[i - 1].end, all[i].start) << "overlap at " << all[i].start;
        }
    }
    EXPECT_EQ(covered, 100'000u);
    auto snapshot = pool.snapshot();
    EXPECT_EQ(snapshot.completedRanges, (std::vector<NonceRange>{{0, 100'000}}));
    EXPECT_TRUE(snapshot.claimedRanges.empty());
    EXPECT_TRUE(pool.isExhausted());
}

}  // namespace
}  // namespace corvanta::engine
