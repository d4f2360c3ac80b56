#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/secret_store.h"

namespace corvanta::backend {

// Secrets an older version kept elsewhere (the settings file), moved into the secret store by
// the first load.
struct LegacySecrets {
    // Main thread: the items, by account.
    std::function<std::map<std::string, std::string>()> read;
    // Main thread, once the secret store holds them: forget them there.
    std::function<void(const std::vector<std::string>& accounts)> erase;
};

struct TokenManagerOptions {
    // Further accounts read at load beside the fixed ones (the legacy key of this machine).
    std::vector<std::string> keyAccounts;
    LegacySecrets legacy;
    // While the store is a fallback (no keyring answered), how often it asks again as long as
    // a token is stored.
    std::chrono::milliseconds keyringRetryInterval{std::chrono::minutes(1)};
};

// The access token with its expiry, and the user's key, kept in the secret store with an
// in-memory cache in front.
//
// The store may block (a locked keyring waits for its prompt), so it is only ever touched on one
// background thread: `load` reads every item there once at start, writes and deletes are queued
// there in call order, and every read is answered from the cache. Until `load` has finished the
// manager answers as if nothing were stored; the composition root awaits `load` before anything
// asks.
//
// When the store had to fall back to its file because no keyring answered, the keyring is asked
// again at each sign-in (a new token) and every `keyringRetryInterval` while a token is stored;
// when it answers, the file's items move into it.
class TokenManager {
public:
    using StoreOpener = std::function<std::shared_ptr<platform::SecretStore>()>;

    static constexpr const char* kService = "com.corvanta";
    static constexpr const char* kTokenAccount = "access_token";
    static constexpr const char* kExpiryAccount = "token_expiry";
    static constexpr const char* kKeyAccount = "corvanta_key.current";
    static constexpr const char* kLegacyKeyAccount = "device_api_key.current";

    // `openStore` runs on the background thread, once, before the first store call.
    explicit TokenManager(StoreOpener openStore, TokenManagerOptions options = {});
    ~TokenManager();

    TokenManager(const TokenManager&) = delete;
    TokenManager& operator=(const TokenManager&) = delete;

    // The items of the sign-in itself: removed when it ends.
    static std::vector<std::string> signInAccounts() { return {kTokenAccount, kExpiryAccount}; }

    // Reads the stored token, expiry and key into the cache (values written meanwhile win), and
    // moves the legacy secrets into the store.
    QCoro::Task<> load();
    // A load() has finished: the cache now answers for the store.
    bool isLoaded() const;
    // Resolves once every write queued so far has reached the store.
    QCoro::Task<> flush();

    std::optional<QString> currentToken() const;
    // The token unless its expiry has been reached at `now`; an expired token is cleared.
    std::optional<QString> validToken(const QDateTime& now);
    std::optional<QDateTime> expiryDate() const;
    void setExpiry(const std::optional<QDateTime>& date);
    // Caches and persists a new token: a sign-in.
    void storeToken(const QString& token);
    // Forgets token, expiry and expiresIn, in memory and in the store.
    void clear();

    // The other secrets of the same store, from the cache: the key and its legacy names. Only
    // the accounts read by `load` or written since are known.
    std::optional<QString> secret(const std::string& account) const;
    void storeSecret(const std::string& account, const QString& text);
    void removeSecret(const std::string& account);

    // The remaining lifetime the backend last reported, in seconds; informational.
    std::optional<double> expiresIn() const;
    void setExpiresIn(std::optional<double> seconds);

    // Whole seconds since 1970, truncated toward zero.
    static std::string formatExpiry(const QDateTime& date);
    // The stored text must be one decimal number in full; anything else is no expiry.
    static std::optional<QDateTime> parseExpiry(const std::string& text);

private:
    void post(std::function<void(platform::SecretStore&)> job);
    platform::SecretStore& store();  // background thread only
    // Background thread: reads every item and moves `legacy` in; false when a move failed.
    bool readAll(const std::map<std::string, std::string>& legacy);
    // Main thread: asks the keyring again now and keeps asking while a token is stored.
    void retryKeyring();
    void onRetryTimer();

    mutable std::mutex lock_;
    std::optional<QString> cachedToken_;
    bool tokenKnown_ = false;
    std::optional<QDateTime> cachedExpireTime_;
    bool expiryKnown_ = false;
    std::optional<double> expiresIn_;
    bool loaded_ = false;
    std::map<std::string, std::optional<QString>> cachedSecrets_;  // present: known

    StoreOpener openStore_;
    TokenManagerOptions options_;
    std::shared_ptr<platform::SecretStore> store_;
    std::atomic<bool> usesFallback_{false};
    QTimer retryTimer_;
    QThreadPool queue_;  // one thread: jobs run in the order they were posted; destroyed first
};

}  // namespace corvanta::backend
