#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "async/loading_flag.h"

namespace corvanta::async {
namespace {

// The flag as an owner's page sees it: every change reported, in order.
struct Owner {
    std::vector<bool> changes;
    LoadingFlag loading{[this] { changes.push_back(loading.isLoading()); }};
};

TEST(LoadingFlag, UpWhileTheNewestLoadRunsHoweverItEnds) {
    Owner owner;
    {
        const auto load = owner.loading.begin();
        EXPECT_TRUE(owner.loading.isLoading());
        EXPECT_FALSE(load.abandoned());
    }
    EXPECT_EQ(owner.changes, (std::vector<bool>{true, false}));

    // A load that throws lowers it on the way out.
    EXPECT_THROW(
        {
            const auto load = owner.loading.begin();
            throw std::runtime_error("request failed");
        },
        std::runtime_error);
    EXPECT_FALSE(owner.loading.isLoading());

    // Overlapping loads: an older one ending leaves the flag to the newer.
    owner.changes.clear();
    std::optional<LoadingFlag::Load> older(owner.loading.begin());
    std::optional<LoadingFlag::Load> newer(owner.loading.begin());
    older.reset();
    EXPECT_TRUE(owner.loading.isLoading());
    newer.reset();
    EXPECT_FALSE(owner.loading.isLoading());
    EXPECT_EQ(owner.changes, (std::vector<bool>{true, false}));
}

TEST(LoadingFlag, RestartAbandonsTheLoadStillRunning) {
    Owner owner;
    std::optional<LoadingFlag::Load> older(owner.loading.restart());
    const auto olderToken = older->token();
    std::optional<LoadingFlag::Load> newer(owner.loading.restart());
    EXPECT_TRUE(olderToken.stop_requested());
    EXPECT_TRUE(older->abandoned());
    EXPECT_FALSE(newer->abandoned());
    older.reset();  // the abandoned load comes back: nothing changes
    EXPECT_TRUE(owner.loading.isLoading());
    newer.reset();
    EXPECT_EQ(owner.changes, (std::vector<bool>{true, false}));
}

TEST(LoadingFlag, ALoadThatOutlivesItsOwnerLeavesItAlone) {
    auto owner = std::make_unique<Owner>();
    std::optional<LoadingFlag::Load> load(owner->loading.begin());
    const auto token = load->token();
    owner.reset();
    EXPECT_TRUE(token.stop_requested());
    EXPECT_TRUE(load->abandoned());
    load.reset();  // would report to a destroyed owner if it reached it
}

}  // namespace
}  // namespace corvanta::async
