#include <gtest/gtest.h>

#include <QStringList>

#include "log/compact_line_store.h"

namespace corvanta::log {
namespace {

// Text of every width UTF-8 has: ASCII, two-byte Latin and Cyrillic, three-byte CJK and signs,
// four-byte emoji (surrogate pairs in a QString), a combining mark, a tab, and an empty line.
const QStringList kSamples = {
    QStringLiteral("[2026-01-31T08:15:02Z] [CPU] 🔎 lane 3 searched [0, 8388608) in 0.41 s"),
    QString(),
    QStringLiteral("Grüße, Zürich — Привет"),
    QStringLiteral("中文 日本語 한국어 ✅ 📤 🎯"),
    QStringLiteral("e\u0301 tab\tkept 👩‍💻"),
    QStringLiteral("plain ascii"),
};

TEST(CompactLineStoreTest, GivesBackExactlyTheTextItWasGiven) {
    CompactLineStore store;
    EXPECT_TRUE(store.isEmpty());
    std::size_t utf8Bytes = 0;
    for (const QString& line : kSamples) {
        store.append(line);
        utf8Bytes += static_cast<std::size_t>(line.toUtf8().size());
    }
    ASSERT_EQ(store.size(), kSamples.size());
    for (qsizetype i = 0; i < kSamples.size(); ++i) {
        EXPECT_EQ(store.at(i), kSamples[i]) << i;
        const QByteArray utf8 = kSamples[i].toUtf8();
        EXPECT_EQ(store.utf8At(i), std::string_view(utf8.constData(), utf8.size())) << i;
    }
    EXPECT_EQ(store.toStringList(), kSamples);
    // Each line costs its UTF-8 bytes and one end offset, nothing per line besides.
    EXPECT_EQ(store.usedBytes(), utf8Bytes + 8 * kSamples.size());

    // Ranges in either order, clamped to the lines there are.
    EXPECT_EQ(store.join(2, 3, '\n'), kSamples[2] + '\n' + kSamples[3]);
    EXPECT_EQ(store.join(3, 2, '\n'), kSamples[2] + '\n' + kSamples[3]);
    EXPECT_EQ(store.join(-5, 1, '\n'), kSamples[0] + '\n');
    EXPECT_EQ(store.join(4, 99, '|'), kSamples[4] + '|' + kSamples[5]);
    EXPECT_EQ(store.join(0, 99, '\n'), kSamples.join('\n'));
    EXPECT_TRUE(store.join(6, 9, '\n').isEmpty());
    EXPECT_TRUE(CompactLineStore().join(0, 0, '\n').isEmpty());
}

TEST(CompactLineStoreTest, CuttingTheFrontKeepsTheRestExactlyAndFreesWhatWasCut) {
    CompactLineStore store;
    QStringList expected;
    for (int i = 0; i < 1000; ++i) {
        const QString line = kSamples[i % kSamples.size()] + QString::number(i);
        store.append(line);
        expected.append(line);
    }
    const std::size_t before = store.usedBytes();

    store.removeFront(0);
    store.removeFront(-3);
    EXPECT_EQ(store.size(), 1000);

    store.removeFront(400);
    expected.remove(0, 400);
    ASSERT_EQ(store.size(), 600);
    EXPECT_EQ(store.toStringList(), expected);
    EXPECT_EQ(store.join(0, 1, '\n'), expected[0] + '\n' + expected[1]);
    EXPECT_LT(store.usedBytes(), before * 2 / 3);

    // Lines added after a cut sit after the ones kept.
    store.append(QStringLiteral("after the cut ✅"));
    expected.append(QStringLiteral("after the cut ✅"));
    EXPECT_EQ(store.toStringList(), expected);

    store.removeFront(5000);
    EXPECT_TRUE(store.isEmpty());
    EXPECT_EQ(store.usedBytes(), 0u);
    store.append(QStringLiteral("again"));
    EXPECT_EQ(store.at(0), QStringLiteral("again"));
}

}  // namespace
}  // namespace corvanta::log
