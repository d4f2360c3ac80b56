#include <gtest/gtest.h>

#include <chrono>

#include "tasks/restart_backoff.h"

namespace corvanta::tasks {
namespace {

using namespace std::chrono_literals;

TEST(RestartBackoff, DoublesUpToFifteenMinutesShortensByAtMostATenthAndResets) {
    double random = 0.0;
    RestartBackoff backoff(1.0, [&random] { return random; });
    EXPECT_EQ(backoff.next(), 30s);
    EXPECT_EQ(backoff.next(), 60s);
    EXPECT_EQ(backoff.next(), 120s);
    EXPECT_EQ(backoff.next(), 240s);
    EXPECT_EQ(backoff.next(), 480s);
    EXPECT_EQ(backoff.next(), 900s);  // 16 minutes would be too long
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(backoff.next(), 900s);  // and stays there, without overflow
    }
    EXPECT_EQ(backoff.restarts(), 106);

    // The jitter only ever shortens a delay, by at most a tenth.
    random = 0.999999;
    const auto longest = backoff.next();
    EXPECT_LE(longest, 900s);
    EXPECT_GE(longest, 810s);
    random = 0.5;
    EXPECT_EQ(backoff.next(), 855s);

    // An accepted task: the series begins again.
    backoff.reset();
    EXPECT_EQ(backoff.restarts(), 0);
    random = 0.0;
    EXPECT_EQ(backoff.next(), 30s);
    EXPECT_EQ(backoff.next(), 60s);

    // Out-of-range randomness cannot lengthen a delay or make it negative.
    random = -3.0;
    EXPECT_EQ(backoff.next(), 120s);
    random = 7.0;
    EXPECT_EQ(backoff.next(), 216s);

    // The scale shortens every delay (tests); a nonsensical one is ignored.
    RestartBackoff fast(0.01, [] { return 0.0; });
    EXPECT_EQ(fast.next(), 300ms);
    EXPECT_EQ(fast.next(), 600ms);
    RestartBackoff ignored(-1.0, [] { return 0.0; });
    EXPECT_EQ(ignored.next(), 30s);

    // With Qt's own generator every delay lies within its tenth.
    RestartBackoff real;
    for (int i = 0; i < 50; ++i) {
        const auto delay = real.next();
        const auto nominal =
            std::min<std::chrono::milliseconds>(30s * (1LL << std::min(i, 5)), 900s);
        EXPECT_LE(delay, nominal);
        EXPECT_GE(delay, nominal * 9 / 10);
    }
}

TEST(RestartBackoff, ScaleFromTheEnvironment) {
    qputenv("CORVANTA_RESTART_DELAY_SCALE", "0.02");
    EXPECT_DOUBLE_EQ(RestartBackoff::scaleFromEnvironment(), 0.02);
    for (const char* bad : {"", "0", "-1", "fast", "inf", "nan"}) {
        qputenv("CORVANTA_RESTART_DELAY_SCALE", bad);
        EXPECT_DOUBLE_EQ(RestartBackoff::scaleFromEnvironment(), 1.0) << bad;
    }
    qunsetenv("CORVANTA_RESTART_DELAY_SCALE");
    EXPECT_DOUBLE_EQ(RestartBackoff::scaleFromEnvironment(), 1.0);
}

}  // namespace
}  // namespace corvanta::tasks
