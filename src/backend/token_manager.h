#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "platform/secret_store.h"

namespace corvanta::backend {

// The access token and its expiry, kept in the secret store with an in-memory cache in front.
//
// The store may block (a locked keyring waits for its prompt), so it is only ever touched on one
// background thread: `load` reads both items there once at start, writes and deletes are queued
// there in call order, and every read is answered from the cache. Until `load` has finished the
// manager answers as if nothing were stored; the composition root awaits `load` before anything
// asks.
class TokenManager {
public:
    using StoreOpener = std::function<std::shared_ptr<platform::SecretStore>()>;

    static constexpr const char* kService = "com.corvanta";
    static constexpr const char* kTokenAccount = "access_token";
    static constexpr const char* kExpiryAccount = "token_expiry";

    // `openStore` runs on the background thread, once, before the first store call.
    explicit TokenManager(StoreOpener openStore);
    ~TokenManager();

    TokenManager(const TokenManager&) = delete;
    TokenManager& operator=(const TokenManager&) = delete;

    // Reads the stored token and expiry into the cache; values written meanwhile win.
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
    void storeToken(const QString& token);
    // Forgets token, expiry and expiresIn, in memory and in the store.
    void clear();

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

    mutable std::mutex lock_;
    std::optional<QString> cachedToken_;
    bool tokenKnown_ = false;
    std::optional<QDateTime> cachedExpireTime_;
    bool expiryKnown_ = false;
    std::optional<double> expiresIn_;
    bool loaded_ = false;

    StoreOpener openStore_;
    std::shared_ptr<platform::SecretStore> store_;
    QThreadPool queue_;  // one thread: jobs run in the order they were posted; destroyed first
};

}  // namespace corvanta::backend
