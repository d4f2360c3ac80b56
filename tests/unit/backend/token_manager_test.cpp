#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <atomic>

#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "platform/keyring_or_file_secret_store.h"
#include "platform/memory_secret_store.h"
#include "support/await.h"
#include "support/coro_test_util.h"
#include "support/qt_app.h"

namespace corvanta::backend {
namespace {

using testing::await;

class TokenManagerTest : public ::testing::Test {
protected:
    void SetUp() override { corvanta::testing::ensureCoreApplication(); }

    std::unique_ptr<TokenManager> loadedManager(TokenManagerOptions options = {}) {
        auto manager =
            std::make_unique<TokenManager>([store = store] { return store; }, std::move(options));
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

TEST_F(TokenManagerTest, TheKeyIsTrimmedAndBlankKeysAreNeverStored) {
    store->write(TokenManager::kKeyAccount, "  abc \n");
    auto secrets = loadedManager();
    EXPECT_EQ(loadStoredKey(*secrets), QStringLiteral("abc"));
    saveStoredKey(QStringLiteral("   "), *secrets);
    EXPECT_EQ(loadStoredKey(*secrets), QStringLiteral("abc"));
    await(secrets->flush());
    EXPECT_EQ(store->read(TokenManager::kKeyAccount), "  abc \n");  // read, not rewritten
    saveStoredKey(QStringLiteral(" xyz\t"), *secrets);
    await(secrets->flush());
    EXPECT_EQ(store->read(TokenManager::kKeyAccount), "xyz");
    store->write(TokenManager::kKeyAccount, " \n ");
    EXPECT_FALSE(loadStoredKey(*loadedManager()));
}

TEST_F(TokenManagerTest, LegacyKeyNamesMoveToTheCurrentOne) {
    store->write(TokenManager::kLegacyKeyAccount, " k ");
    auto secrets = loadedManager();
    EXPECT_EQ(loadStoredKey(*secrets), QStringLiteral("k"));
    await(secrets->flush());
    EXPECT_EQ(store->read(TokenManager::kKeyAccount), "k");
    EXPECT_FALSE(store->read(TokenManager::kLegacyKeyAccount));

    EXPECT_EQ(
        legacyKeyName(QStringLiteral("abc")),
        QStringLiteral(
            "device_api_key.ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    const std::string perDevice = legacyKeyName(QStringLiteral("SN-1")).toStdString();
    store->write(perDevice, "per-device");
    TokenManagerOptions options;
    options.keyAccounts = {perDevice};
    secrets = loadedManager(options);
    EXPECT_EQ(loadStoredKey(QStringLiteral("SN-1"), *secrets), QStringLiteral("per-device"));
    EXPECT_EQ(loadStoredKey(*secrets), QStringLiteral("per-device"));
    EXPECT_EQ(loadStoredKey(QStringLiteral("other"), *secrets), QStringLiteral("per-device"));
    await(secrets->flush());
    EXPECT_FALSE(store->read(perDevice));
    EXPECT_EQ(store->read(TokenManager::kKeyAccount), "per-device");
}

// A store that keeps nothing: every write is refused.
class RefusingStore final : public platform::SecretStore {
public:
    std::optional<std::string> read(const std::string&) override { return std::nullopt; }
    bool write(const std::string&, const std::string&) override { return false; }
    void remove(const std::string&) override {}
};

TEST_F(TokenManagerTest, KeysInAnOldSettingsFileMoveIntoTheSecretStore) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Corvanta.conf"));
    const QString perDevice = legacyKeyName(QStringLiteral("SN-1"));
    const auto writeOldFile = [&] {
        QSettings old(path, QSettings::IniFormat);
        old.setValue(QStringLiteral("corvanta_key.current"), QStringLiteral(" old-key-1 "));
        old.setValue(QStringLiteral("device_api_key.current"), QStringLiteral("old-key-2"));
        old.setValue(perDevice, QStringLiteral("old-key-3"));
        old.setValue(QStringLiteral("app_theme"), QStringLiteral("dark"));
    };
    const auto fileText = [&] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    writeOldFile();
    {
        // A store that keeps nothing: the settings keep the key for the next start.
        QSettings settings(path, QSettings::IniFormat);
        TokenManagerOptions options;
        options.legacy = settingsKeyEntries(settings);
        TokenManager refusing([] { return std::make_shared<RefusingStore>(); }, options);
        await(refusing.load());
        EXPECT_TRUE(fileText().contains("old-key-1"));
    }
    {
        QSettings settings(path, QSettings::IniFormat);
        TokenManagerOptions options;
        options.legacy = settingsKeyEntries(settings);
        auto secrets = loadedManager(options);
        EXPECT_EQ(loadStoredKey(*secrets), QStringLiteral("old-key-1"));
        EXPECT_EQ(loadStoredKey(QStringLiteral("SN-1"), *secrets), QStringLiteral("old-key-3"));
        // Nothing of any key is left in the file; the other settings are.
        const QByteArray text = fileText();
        EXPECT_FALSE(text.contains("old-key")) << text.toStdString();
        EXPECT_FALSE(text.contains("device_api_key")) << text.toStdString();
        EXPECT_TRUE(text.contains("app_theme")) << text.toStdString();
        EXPECT_EQ(settings.value(QStringLiteral("app_theme")).toString(), QStringLiteral("dark"));
        await(secrets->flush());
        EXPECT_EQ(store->read(TokenManager::kKeyAccount), "old-key-3");
        EXPECT_EQ(store->read(TokenManager::kLegacyKeyAccount), "old-key-2");
    }
    // A key already in the secret store was written later than the file's: it stays.
    writeOldFile();
    QSettings settings(path, QSettings::IniFormat);
    TokenManagerOptions options;
    options.legacy = settingsKeyEntries(settings);
    EXPECT_EQ(loadStoredKey(*loadedManager(options)), QStringLiteral("old-key-3"));
    EXPECT_FALSE(fileText().contains("old-key"));
}

TEST(MaskedKey, ShowsTheLastFourOfLongerKeysOnly) {
    EXPECT_EQ(maskedKey(QString()), QString());
    EXPECT_EQ(maskedKey(QStringLiteral("a")), QStringLiteral("•"));
    EXPECT_EQ(maskedKey(QStringLiteral("ab")), QStringLiteral("••"));
    EXPECT_EQ(maskedKey(QStringLiteral("abc")), QStringLiteral("•••"));
    EXPECT_EQ(maskedKey(QStringLiteral("abcd")), QStringLiteral("••••"));
    EXPECT_EQ(maskedKey(QStringLiteral("abcde")), QStringLiteral("•bcde"));
    EXPECT_EQ(maskedKey(QStringLiteral("0123456789")), QStringLiteral("••••••6789"));
}

// A keyring that answers only once it is switched on, keeping its items in `items`.
class SwitchableKeyring {
public:
    std::shared_ptr<platform::MemorySecretStore> items =
        std::make_shared<platform::MemorySecretStore>();
    std::atomic<bool> answers{false};
    std::atomic<int> asked{0};

    platform::KeyringOrFileSecretStore::KeyringOpener opener() {
        return [this]() -> std::unique_ptr<platform::SecretStore> {
            ++asked;
            if (!answers) {
                return nullptr;
            }
            return std::make_unique<Forwarding>(items);
        };
    }

private:
    class Forwarding final : public platform::SecretStore {
    public:
        explicit Forwarding(std::shared_ptr<platform::MemorySecretStore> to) : to_(std::move(to)) {}
        std::optional<std::string> read(const std::string& a) override { return to_->read(a); }
        bool write(const std::string& a, const std::string& t) override { return to_->write(a, t); }
        void remove(const std::string& a) override { to_->remove(a); }

    private:
        std::shared_ptr<platform::MemorySecretStore> to_;
    };
};

class KeyringRetryTest : public ::testing::Test {
protected:
    void SetUp() override { corvanta::testing::ensureCoreApplication(); }

    std::unique_ptr<TokenManager> manager(std::chrono::milliseconds interval) {
        TokenManagerOptions options;
        options.keyringRetryInterval = interval;
        auto tokens = std::make_unique<TokenManager>(
            [this]() -> std::shared_ptr<platform::SecretStore> {
                return std::make_shared<platform::KeyringOrFileSecretStore>(
                    TokenManager::kService, fallback.toStdString(), TokenManager::signInAccounts(),
                    keyring.opener());
            },
            options);
        await(tokens->load());
        return tokens;
    }

    // Runs the event loop until the fallback file is gone; false after `limit`.
    bool fileGone(TokenManager& tokens, std::chrono::milliseconds limit) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < limit.count()) {
            await(tokens.flush());
            if (!QFile::exists(fallback)) {
                return true;
            }
            corvanta::testing::processEventsFor(std::chrono::milliseconds(20));
        }
        return false;
    }

    QTemporaryDir dir;
    QString fallback = dir.filePath(QStringLiteral("Corvanta/secrets.json"));
    SwitchableKeyring keyring;
};

TEST_F(KeyringRetryTest, AKeyringThatAnswersLaterTakesTheFileOverWhileSignedIn) {
    // A token the keyring kept from an earlier run, signed out of since.
    keyring.items->write(TokenManager::kTokenAccount, "stale");
    auto tokens = manager(std::chrono::milliseconds(50));
    saveStoredKey(QStringLiteral("the-key"), *tokens);
    tokens->storeToken(QStringLiteral("t1"));
    tokens->clear();
    tokens->storeToken(QStringLiteral("t2"));
    await(tokens->flush());
    ASSERT_TRUE(QFile::exists(fallback));

    keyring.answers = true;
    ASSERT_TRUE(fileGone(*tokens, std::chrono::seconds(10)));
    EXPECT_EQ(keyring.items->read(TokenManager::kTokenAccount), "t2");
    EXPECT_EQ(keyring.items->read(TokenManager::kKeyAccount), "the-key");
    // From now on the keyring gets every write, and is not asked again.
    const int asked = keyring.asked;
    tokens->storeToken(QStringLiteral("t3"));
    await(tokens->flush());
    corvanta::testing::processEventsFor(std::chrono::milliseconds(200));
    EXPECT_EQ(keyring.items->read(TokenManager::kTokenAccount), "t3");
    EXPECT_FALSE(QFile::exists(fallback));
    EXPECT_EQ(keyring.asked, asked);

    // After a sign-out while on the file, the keyring does not bring the old token back.
    keyring.answers = false;
    auto again = manager(std::chrono::milliseconds(50));  // the keyring is away at this start
    again->storeToken(QStringLiteral("t4"));
    again->clear();
    again->storeToken(QStringLiteral("t5"));
    again->clear();
    await(again->flush());
    const int beforeSignedOut = keyring.asked;
    corvanta::testing::processEventsFor(std::chrono::milliseconds(300));
    EXPECT_LE(keyring.asked - beforeSignedOut, 0) << "asked while signed out";
    keyring.answers = true;
    again->storeToken(QStringLiteral("t6"));  // a sign-in asks at once
    again->clear();
    ASSERT_TRUE(fileGone(*again, std::chrono::seconds(10)));
    EXPECT_FALSE(keyring.items->read(TokenManager::kTokenAccount));
    EXPECT_EQ(keyring.items->read(TokenManager::kKeyAccount), "the-key");  // not the sign-in's
}

TEST_F(KeyringRetryTest, ASignInAsksTheKeyringAtOnce) {
    auto tokens = manager(std::chrono::hours(1));
    tokens->storeToken(QStringLiteral("early"));
    await(tokens->flush());
    ASSERT_TRUE(QFile::exists(fallback));
    keyring.answers = true;
    tokens->storeToken(QStringLiteral("later"));
    ASSERT_TRUE(fileGone(*tokens, std::chrono::seconds(5)));
    EXPECT_EQ(keyring.items->read(TokenManager::kTokenAccount), "later");

    // A file left by a run without the keyring moves in when the keyring answers at start.
    keyring.answers = false;
    auto offline = manager(std::chrono::hours(1));
    offline->storeToken(QStringLiteral("offline"));
    await(offline->flush());
    ASSERT_TRUE(QFile::exists(fallback));
    keyring.answers = true;
    auto next = manager(std::chrono::hours(1));
    EXPECT_FALSE(QFile::exists(fallback));
    EXPECT_EQ(next->currentToken(), QStringLiteral("offline"));
}

}  // namespace
}  // namespace corvanta::backend
