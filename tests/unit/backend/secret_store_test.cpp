#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>

#include "platform/file_secret_store.h"
#include "platform/open_secret_store.h"

namespace corvanta::platform {
namespace {

unsigned modeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.toLocal8Bit().constData(), &info), 0) << path.toStdString();
    return info.st_mode & 0777;
}

TEST(FileSecretStore, OwnerOnlyFileAndRoundTrip) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("nested/Corvanta/secrets.json"));
    FileSecretStore store(path.toStdString(), "com.corvanta");
    EXPECT_FALSE(store.read("access_token"));
    ASSERT_TRUE(store.write("access_token", "t1"));
    ASSERT_TRUE(store.write("token_expiry", "17"));
    ASSERT_TRUE(store.write("access_token", "t2"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(dir.filePath(QStringLiteral("nested/Corvanta"))), 0700u);
    EXPECT_EQ(store.read("access_token"), "t2");
    store.remove("access_token");
    store.remove("missing");
    EXPECT_FALSE(store.read("access_token"));
    EXPECT_EQ(store.read("token_expiry"), "17");
    EXPECT_FALSE(FileSecretStore(path.toStdString(), "other.service").read("token_expiry"));

    ::chmod(path.toLocal8Bit().constData(), 0644);
    EXPECT_EQ(store.read("token_expiry"), "17");
    EXPECT_EQ(modeOf(path), 0600u);  // tightened when found open
}

TEST(FileSecretStore, ErasingAServiceRemovesTheFileWhenNothingElseIsLeft) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("secrets.json"));
    FileSecretStore ours(path.toStdString(), "com.corvanta");
    FileSecretStore other(path.toStdString(), "other.service");
    ASSERT_TRUE(ours.write("access_token", "t"));
    ASSERT_TRUE(ours.write("token_expiry", "17"));
    ASSERT_TRUE(other.write("access_token", "o"));
    EXPECT_EQ(ours.items(),
              (std::map<std::string, std::string>{{"access_token", "t"}, {"token_expiry", "17"}}));
    ours.erase();
    EXPECT_TRUE(ours.items().empty());
    EXPECT_EQ(other.read("access_token"), "o");
    other.erase();
    EXPECT_FALSE(QFile::exists(path));
}

TEST(FileSecretStore, CorruptFileReadsAsEmpty) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("secrets.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{not json");
    file.close();
    FileSecretStore store(path.toStdString(), "com.corvanta");
    EXPECT_FALSE(store.read("access_token"));
    EXPECT_TRUE(store.write("access_token", "t"));
    EXPECT_EQ(store.read("access_token"), "t");
}

TEST(OpenSecretStore, FallsBackToTheFileWithoutASecretService) {
    // No session bus at this address, so libsecret fails at once.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/corvanta-test-bus");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Corvanta/secrets.json"));
    auto store = openSecretStore("com.corvanta", path);
    ASSERT_TRUE(store->usesFallback());
    EXPECT_FALSE(store->retryPreferred());  // still nobody there
    ASSERT_TRUE(store->write("access_token", "t"));
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(store->read("access_token"), "t");
}

}  // namespace
}  // namespace corvanta::platform
