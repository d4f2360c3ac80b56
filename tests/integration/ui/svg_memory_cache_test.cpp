#include <gtest/gtest.h>

#include "ui/svg_memory_cache.h"

namespace corvanta::ui {
namespace {

QString key(int i) {
    return QStringLiteral("https://icons.example/%1.svg").arg(i);
}

TEST(SvgMemoryCacheTest, EntryLimitDropsTheLeastRecentlyUsed) {
    SvgMemoryCache cache(3, 1000);
    cache.insert(key(1), "a");
    cache.insert(key(2), "b");
    cache.insert(key(3), "c");
    ASSERT_TRUE(cache.object(key(1)));  // now the most recent
    cache.insert(key(4), "d");
    EXPECT_EQ(cache.count(), 3);
    EXPECT_FALSE(cache.contains(key(2)));
    EXPECT_TRUE(cache.contains(key(1)));
    EXPECT_TRUE(cache.contains(key(4)));

    // Replacing an entry is no new entry and evicts nothing.
    cache.insert(key(4), "dd");
    EXPECT_EQ(cache.count(), 3);
    EXPECT_EQ(*cache.object(key(4)), QByteArray("dd"));
    EXPECT_EQ(cache.totalBytes(), 4);
}

TEST(SvgMemoryCacheTest, ByteLimitCountsEveryEntryAndRefusesOversizedOnes) {
    SvgMemoryCache cache(200, 5 * 1024 * 1024);
    const QByteArray twoMiB(2 * 1024 * 1024, 'x');
    cache.insert(key(1), twoMiB);
    cache.insert(key(2), twoMiB);
    cache.insert(key(3), twoMiB);
    EXPECT_EQ(cache.count(), 2);
    EXPECT_FALSE(cache.contains(key(1)));
    EXPECT_EQ(cache.totalBytes(), 2 * twoMiB.size());

    cache.insert(key(4), QByteArray(5 * 1024 * 1024 + 1, 'y'));
    EXPECT_FALSE(cache.contains(key(4)));
    EXPECT_EQ(cache.count(), 2);  // a refused entry pushes nothing out

    cache.remove(key(2));
    cache.remove(key(3));
    EXPECT_EQ(cache.count(), 0);
    EXPECT_EQ(cache.totalBytes(), 0);
}

}  // namespace
}  // namespace corvanta::ui
