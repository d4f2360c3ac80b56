// Secrets in a real gnome-keyring; run through tests/support/with_keyring.sh, which starts a
// private D-Bus session with an unlocked keyring.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "backend/token_manager.h"
#include "platform/libsecret_secret_store.h"
#include "platform/open_secret_store.h"
#include "support/await.h"
#include "support/qt_app.h"

namespace corvanta::platform {
namespace {

TEST(Keyring, ItemsRoundTrip) {
    auto store = LibsecretSecretStore::open("com.corvanta.test");
    ASSERT_NE(store, nullptr) << "no Secret Service: run under with_keyring.sh";
    EXPECT_FALSE(store->read("access_token"));
    EXPECT_TRUE(store->write("access_token", "t1"));
    EXPECT_TRUE(store->write("access_token", "t2 é"));
    EXPECT_TRUE(store->write("token_expiry", "1700000000"));
    EXPECT_EQ(store->read("access_token"), "t2 é");
    EXPECT_FALSE(LibsecretSecretStore("com.other").read("access_token"));
    store->remove("access_token");
    store->remove("access_token");
    EXPECT_FALSE(store->read("access_token"));
    EXPECT_EQ(store->read("token_expiry"), "1700000000");
}

TEST(Keyring, TokenManagerKeepsTheSignInInTheKeyring) {
    corvanta::testing::ensureCoreApplication();
    QTemporaryDir dir;
    const QString fallback = dir.filePath(QStringLiteral("secrets.json"));
    const auto open = [fallback]() -> std::shared_ptr<SecretStore> {
        return openSecretStore(backend::TokenManager::kService, fallback);
    };
    {
        backend::TokenManager tokens(open);
        corvanta::testing::await(tokens.load());
        tokens.storeToken(QStringLiteral("keyring-token"));
        tokens.setExpiry(QDateTime::fromSecsSinceEpoch(4102444800, Qt::UTC));
        corvanta::testing::await(tokens.flush());
    }
    backend::TokenManager restarted(open);
    corvanta::testing::await(restarted.load());
    EXPECT_EQ(restarted.currentToken(), QStringLiteral("keyring-token"));
    EXPECT_EQ(restarted.expiryDate(), QDateTime::fromSecsSinceEpoch(4102444800, Qt::UTC));
    restarted.clear();
    corvanta::testing::await(restarted.flush());
    EXPECT_FALSE(LibsecretSecretStore(backend::TokenManager::kService).read("access_token"));
    EXPECT_FALSE(QFile::exists(fallback));  // the keyring answered: no fallback file
}

}  // namespace
}  // namespace corvanta::platform
