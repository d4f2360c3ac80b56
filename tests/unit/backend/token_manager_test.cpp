#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/await.h"
#include "support/qt_app.h"

namespace corvanta::backend {
namespace {

using testing::await;

class TokenManagerTest : public ::testing::Test {
protected:
    void SetUp() override { corvanta::testing::ensureCoreApplication(); }

    std::unique_ptr<TokenManager> loadedManager() {
        auto manager = std::make_unique<TokenManager>([store = store] { return store; });
        await(manager->load());
        return manager;
    }

    std::shared_ptr<platform::MemorySecretStore> store =
        std::make_shared<platform::MemorySecretStore>();
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
};

TEST_F(TokenManagerTest, ExpiryReachedClearsBothItems) {
    auto tokens = loadedManager();
    tokens->storeToken(QStringLiteral("tok"));
    tokens->setExpiry(now);
    tokens->setExpiresIn(60);
    EXPECT_EQ(tokens->validToken(now.addMSecs(-1)), QStringLiteral("tok"));
    EXPECT_FALSE(tokens->validToken(now));
    EXPECT_FALSE(tokens->currentToken());
    EXPECT_FALSE(tokens->expiryDate());
    EXPECT_FALSE(tokens->expiresIn());
    await(tokens->flush());
    EXPECT_FALSE(store->read(TokenManager::kTokenAccount));
    EXPECT_FALSE(store->read(TokenManager::kExpiryAccount));
}

TEST_F(TokenManagerTest, StoredValuesSurviveARestart) {
    {
        auto tokens = loadedManager();
        tokens->storeToken(QStringLiteral("tok"));
        tokens->setExpiry(QDateTime::fromMSecsSinceEpoch(1700000000900LL, Qt::UTC));  // x.9 -> x
    }
    EXPECT_EQ(store->read(TokenManager::kExpiryAccount), "1700000000");
    auto restarted = loadedManager();
    EXPECT_EQ(restarted->currentToken(), QStringLiteral("tok"));
    EXPECT_EQ(restarted->expiryDate(), now);
}

TEST_F(TokenManagerTest, TokenWithoutUsableExpiryIsValid) {
    store->write(TokenManager::kTokenAccount, "tok");
    for (const char* text : {"", " 1700000000", "1700000000 ", "17e8x", "abc", "nan", "0x10"}) {
        store->write(TokenManager::kExpiryAccount, text);
        auto tokens = loadedManager();
        EXPECT_FALSE(tokens->expiryDate()) << text;
        EXPECT_EQ(tokens->validToken(now), QStringLiteral("tok")) << text;
        EXPECT_EQ(store->read(TokenManager::kExpiryAccount), text);  // left untouched
    }
    store->write(TokenManager::kExpiryAccount, "1.7e9");
    EXPECT_EQ(loadedManager()->expiryDate(), QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC));
}

TEST_F(TokenManagerTest, WritesBeforeLoadFinishesWin) {
    store->write(TokenManager::kTokenAccount, "old");
    TokenManager tokens([store = store] { return store; });
    EXPECT_FALSE(tokens.currentToken());  // nothing is served before the load
    tokens.storeToken(QStringLiteral("new"));
    await(tokens.load());
    EXPECT_EQ(tokens.currentToken(), QStringLiteral("new"));
    await(tokens.flush());
    EXPECT_EQ(store->read(TokenManager::kTokenAccount), "new");
}

class KeyStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
};

TEST_F(KeyStoreTest, TrimsAndKeepsTheStoredText) {
    EXPECT_FALSE(loadStoredKey(settings));
    settings.setValue(QStringLiteral("corvanta_key.current"), QStringLiteral("  abc \n"));
    EXPECT_EQ(loadStoredKey(settings), QStringLiteral("abc"));
    EXPECT_EQ(settings.value(QStringLiteral("corvanta_key.current")).toString(),
              QStringLiteral("  abc \n"));
    saveStoredKey(QStringLiteral("   "), settings);
    EXPECT_EQ(loadStoredKey(settings), QStringLiteral("abc"));
    saveStoredKey(QStringLiteral(" xyz\t"), settings);
    EXPECT_EQ(settings.value(QStringLiteral("corvanta_key.current")).toString(),
              QStringLiteral("xyz"));
    settings.setValue(QStringLiteral("corvanta_key.current"), QStringLiteral(" \n "));
    EXPECT_FALSE(loadStoredKey(settings));
}

TEST_F(KeyStoreTest, MigratesLegacyKeys) {
    settings.setValue(QStringLiteral("device_api_key.current"), QStringLiteral(" k "));
    EXPECT_EQ(loadStoredKey(settings), QStringLiteral("k"));
    EXPECT_EQ(settings.value(QStringLiteral("corvanta_key.current")).toString(),
              QStringLiteral("k"));
    EXPECT_FALSE(settings.contains(QStringLiteral("device_api_key.current")));

    EXPECT_EQ(
        legacyKeyName(QStringLiteral("abc")),
        QStringLiteral(
            "device_api_key.ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    settings.setValue(legacyKeyName(QStringLiteral("SN-1")), QStringLiteral("per-device"));
    EXPECT_EQ(loadStoredKey(QStringLiteral("SN-1"), settings), QStringLiteral("per-device"));
    EXPECT_FALSE(settings.contains(legacyKeyName(QStringLiteral("SN-1"))));
    EXPECT_EQ(loadStoredKey(settings), QStringLiteral("per-device"));
    EXPECT_EQ(loadStoredKey(QStringLiteral("other"), settings), QStringLiteral("per-device"));
}

}  // namespace
}  // namespace corvanta::backend
