#include <gtest/gtest.h>

#include <limits>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "engine/compute_worker_lane_kind.h"
#include "engine/difficulty.h"
#include "engine/nonce_range.h"

namespace corvanta::engine {
namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(NonceRangeJson, RoundTripsExact64BitValuesWithKeysInOrder) {
    const NonceRange full{0, kMax};
    EXPECT_EQ(full.toJson().dump(), R"({"start":0,"end":18446744073709551615})");
    EXPECT_EQ(NonceRange::fromJson(nlohmann::json::parse(full.toJson().dump())), full);
    EXPECT_EQ(NonceRange::fromJson(nlohmann::json::parse(R"({"end":2000,"start":1000})")),
              (NonceRange{1000, 2000}));
    // Built in code, positive values are signed integers: still accepted.
    EXPECT_EQ(NonceRange::fromJson(nlohmann::json{{"start", 5}, {"end", 6}}), (NonceRange{5, 6}));

    const std::vector<NonceRange> list{{1, 2}, {kMax - 1, kMax}};
    const std::string text = rangesToJsonText(list);
    EXPECT_EQ(text,
              R"([{"start":1,"end":2},{"start":18446744073709551614,"end":18446744073709551615}])");
    EXPECT_EQ(rangesFromJsonText(text), list);
    EXPECT_TRUE(rangesFromJsonText("[]").empty());
}

TEST(NonceRangeJson, RejectsMissingNegativeFractionalAndOverRangeValues) {
    for (const char* bad : {
             R"({"start":1})",
             R"({"end":1})",
             R"({"start":-1,"end":5})",
             R"({"start":1.5,"end":5})",
             R"({"start":1,"end":5.0})",
             R"({"start":0,"end":18446744073709551616})",
             R"({"start":"1","end":5})",
             R"({"start":null,"end":5})",
             R"([1,5])",
         }) {
        EXPECT_THROW(NonceRange::fromJson(nlohmann::json::parse(bad)), RangeDecodingError) << bad;
    }
    EXPECT_THROW(rangesFromJsonText("{"), RangeDecodingError);
    EXPECT_THROW(rangesFromJsonText(R"({"start":1,"end":2})"), RangeDecodingError);
    EXPECT_THROW(rangesFromJsonText(R"([{"start":1,"end":2},{"start":1}])"), RangeDecodingError);
}

TEST(NonceRange, EqualityOrderAndHash) {
    EXPECT_LT((NonceRange{1, 9}), (NonceRange{2, 3}));
    EXPECT_LT((NonceRange{1, 2}), (NonceRange{1, 3}));
    std::unordered_set<NonceRange> set{{1, 2}, {1, 2}, {2, 1}};
    EXPECT_EQ(set.size(), 2u);
    EXPECT_TRUE((NonceRange{5, 5}).isEmpty());
    EXPECT_EQ((NonceRange{9, 5}).size(), 0u);
}

TEST(MeetsDifficulty, CountsLeadingZeroNibbles) {
    Sha256Digest digest{};
    digest.fill(0xff);
    EXPECT_TRUE(meetsDifficulty(digest, 0));
    EXPECT_TRUE(meetsDifficulty(digest, -3));
    EXPECT_FALSE(meetsDifficulty(digest, 1));

    digest[0] = 0x0f;  // one zero nibble
    EXPECT_TRUE(meetsDifficulty(digest, 1));
    EXPECT_FALSE(meetsDifficulty(digest, 2));
    digest[0] = 0x00;
    digest[1] = 0x0f;  // three zero nibbles
    EXPECT_TRUE(meetsDifficulty(digest, 2));
    EXPECT_TRUE(meetsDifficulty(digest, 3));
    EXPECT_FALSE(meetsDifficulty(digest, 4));
    digest[1] = 0x10;  // exactly two
    EXPECT_FALSE(meetsDifficulty(digest, 3));

    Sha256Digest zero{};
    EXPECT_TRUE(meetsDifficulty(zero, 63));
    EXPECT_TRUE(meetsDifficulty(zero, 64));
    EXPECT_FALSE(meetsDifficulty(zero, 65));
    EXPECT_FALSE(meetsDifficulty(zero, 1000));
    zero[31] = 0x01;
    EXPECT_TRUE(meetsDifficulty(zero, 63));
    EXPECT_FALSE(meetsDifficulty(zero, 64));
}

TEST(ComputeWorkerLaneKind, RawValuesAreExact) {
    EXPECT_EQ(rawValue(ComputeWorkerLaneKind::gpu), "gpu");
    EXPECT_EQ(rawValue(ComputeWorkerLaneKind::cpu), "cpu");
    EXPECT_EQ(laneKindFromRawValue("gpu"), ComputeWorkerLaneKind::gpu);
    EXPECT_EQ(laneKindFromRawValue("cpu"), ComputeWorkerLaneKind::cpu);
    EXPECT_EQ(laneKindFromRawValue("GPU"), std::nullopt);
    EXPECT_EQ(laneKindFromRawValue(""), std::nullopt);
}

}  // namespace
}  // namespace corvanta::engine
