// Every text the window shows comes from the string table: the keys the pages and view models
// name exist, and no page writes a word of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "platform/string_table.h"

namespace corvanta::ui {
namespace {

using platform::StringTable;

QString sourceText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList sources(const QString& folder, const QStringList& patterns) {
    QStringList files;
    QDirIterator it(QStringLiteral(CORVANTA_SOURCE_DIR) + folder, patterns, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    return files;
}

TEST(StringTable, EveryNamedKeyExistsAndNoPageWritesItsOwnWords) {
    const StringTable& table = StringTable::english();
    const QStringList pages = sources(QStringLiteral("/src/ui/qml"), {QStringLiteral("*.qml")});
    ASSERT_FALSE(pages.isEmpty());

    // Keys named as literals: shell.text("…") in the pages, localized(QStringLiteral("…")) in C++.
    const QRegularExpression pageKey(QStringLiteral(R"re(\.text\("([a-z0-9_]+)"\))re"));
    const QRegularExpression codeKey(
        QStringLiteral(R"re(localized\(QStringLiteral\("([a-z0-9_]+)"\)\))re"));
    QStringList missing;
    int named = 0;
    const auto check = [&](const QString& file, const QRegularExpression& pattern) {
        auto matches = pattern.globalMatch(sourceText(file));
        while (matches.hasNext()) {
            const QString key = matches.next().captured(1);
            ++named;
            if (!table.contains(key)) {
                missing << QFileInfo(file).fileName() + QStringLiteral(": ") + key;
            }
        }
    };
    for (const QString& page : pages) {
        check(page, pageKey);
    }
    for (const QString& code :
         sources(QStringLiteral("/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")})) {
        check(code, codeKey);
    }
    EXPECT_GT(named, 50);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n')).toStdString();

    // A text, title or placeholder given as a literal with a letter in it is a word the table
    // does not know; symbols ("✕", "›") are not words.
    const QRegularExpression literal(
        QStringLiteral(R"re(\b(text|title|placeholderText)\s*:\s*"([^"]*\p{L}[^"]*)")re"));
    QStringList written;
    for (const QString& page : pages) {
        auto matches = literal.globalMatch(sourceText(page));
        while (matches.hasNext()) {
            written << QFileInfo(page).fileName() + QStringLiteral(": ") +
                           matches.next().captured(2);
        }
    }
    EXPECT_TRUE(written.isEmpty()) << written.join(QLatin1Char('\n')).toStdString();

    // The two texts that once were written into the code.
    EXPECT_EQ(table.text(QStringLiteral("app_name")), QStringLiteral("Corvanta"));
    EXPECT_TRUE(table.contains(QStringLiteral("cpu_cores_suffix")));
}

}  // namespace
}  // namespace corvanta::ui
