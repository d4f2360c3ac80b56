#include <gtest/gtest.h>

#include "engine/range_pool.h"

namespace corvanta::engine {
namespace {

TEST(RangePool, FreshPoolHandsOutAscendingPieces) {
    RangePool pool(10, 25);
    EXPECT_EQ(pool.claim(10), (NonceRange{10, 20}));
    EXPECT_EQ(pool.claim(10), (NonceRange{20, 25}));
    EXPECT_EQ(pool.claim(10), std::nullopt);
}

}  // namespace
}  // namespace corvanta::engine
