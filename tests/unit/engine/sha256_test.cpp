#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/sha256/nonce_searcher.h"
#include "engine/sha256/sha256.h"
#include "engine/sha256/sha256_impl.h"

namespace corvanta::engine {
namespace {

std::string hex(const Sha256Digest& digest) {
    std::string text;
    for (std::uint8_t byte : digest) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", byte);
        text += pair;
    }
    return text;
}

TEST(Sha256, MatchesTheFipsVectors) {
    EXPECT_EQ(hex(sha256("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hex(sha256("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnop"
                         "jklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu")),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(hex(sha256(std::string(1'000'000, 'a'))),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256Impl, NamesRoundTripAndTheDefaultIsSupported) {
    for (Sha256Impl impl : {Sha256Impl::scalar, Sha256Impl::shani, Sha256Impl::avx2,
                            Sha256Impl::avx512, Sha256Impl::armv8}) {
        EXPECT_EQ(sha256ImplFromName(sha256ImplName(impl)), impl);
    }
    EXPECT_EQ(sha256ImplFromName("sse9"), std::nullopt);

    const auto supported = supportedSha256Impls();
    EXPECT_NE(std::find(supported.begin(), supported.end(), Sha256Impl::scalar), supported.end());
    for (Sha256Impl impl : supported) {
        EXPECT_TRUE(sha256ImplSupported(impl)) << sha256ImplName(impl);
    }
    const Sha256Impl chosen = defaultSha256Impl();
    EXPECT_TRUE(sha256ImplSupported(chosen));
    EXPECT_EQ(defaultSha256Impl(), chosen);
}

TEST(Sha256Impl, SearcherFallsBackToScalarForAKernelThisProcessorLacks) {
#if defined(__x86_64__)
    const Sha256Impl foreign = Sha256Impl::armv8;
#else
    const Sha256Impl foreign = Sha256Impl::avx512;
#endif
    ASSERT_FALSE(sha256ImplSupported(foreign));
    NonceSearcher searcher("seed", 1, foreign);
    EXPECT_EQ(searcher.impl(), Sha256Impl::scalar);
}

}  // namespace
}  // namespace corvanta::engine
