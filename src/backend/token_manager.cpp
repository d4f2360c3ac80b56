#include "backend/token_manager.h"

#include <QCoroFuture>
#include <QtConcurrent>
#include <cmath>

#include "backend/number_parsing.h"

namespace corvanta::backend {

TokenManager::TokenManager(StoreOpener openStore) : openStore_(std::move(openStore)) {
    queue_.setMaxThreadCount(1);
    queue_.setExpiryTimeout(-1);
}

TokenManager::~TokenManager() {
    queue_.waitForDone();
}

platform::SecretStore& TokenManager::store() {
    if (!store_) {
        store_ = openStore_();
    }
    return *store_;
}

void TokenManager::post(std::function<void(platform::SecretStore&)> job) {
    queue_.start([this, job = std::move(job)] { job(store()); });
}

QCoro::Task<> TokenManager::load() {
    co_await QtConcurrent::run(&queue_, [this] {
        auto& secrets = store();
        const std::optional<std::string> token = secrets.read(kTokenAccount);
        const std::optional<std::string> expiry = secrets.read(kExpiryAccount);
        std::lock_guard guard(lock_);
        if (!tokenKnown_) {
            if (token) {
                cachedToken_ = QString::fromStdString(*token);
            }
            tokenKnown_ = true;
        }
        if (!expiryKnown_) {
            cachedExpireTime_ = expiry ? parseExpiry(*expiry) : std::nullopt;
            expiryKnown_ = true;
        }
        loaded_ = true;
    });
}

bool TokenManager::isLoaded() const {
    std::lock_guard guard(lock_);
    return loaded_;
}

QCoro::Task<> TokenManager::flush() {
    co_await QtConcurrent::run(&queue_, [] {});
}

std::optional<QString> TokenManager::currentToken() const {
    std::lock_guard guard(lock_);
    return cachedToken_;
}

std::optional<QString> TokenManager::validToken(const QDateTime& now) {
    std::optional<QString> token = currentToken();
    if (!token) {
        return std::nullopt;
    }
    if (const auto expiry = expiryDate(); expiry && now >= *expiry) {
        clear();
        return std::nullopt;
    }
    return token;
}

std::optional<QDateTime> TokenManager::expiryDate() const {
    std::lock_guard guard(lock_);
    return cachedExpireTime_;
}

void TokenManager::setExpiry(const std::optional<QDateTime>& date) {
    {
        std::lock_guard guard(lock_);
        cachedExpireTime_ = date;
        expiryKnown_ = true;
    }
    if (date) {
        post([text = formatExpiry(*date)](platform::SecretStore& s) {
            s.write(kExpiryAccount, text);
        });
    } else {
        post([](platform::SecretStore& s) { s.remove(kExpiryAccount); });
    }
}

void TokenManager::storeToken(const QString& token) {
    {
        std::lock_guard guard(lock_);
        cachedToken_ = token;
        tokenKnown_ = true;
    }
    post([text = token.toStdString()](platform::SecretStore& s) { s.write(kTokenAccount, text); });
}

void TokenManager::clear() {
    {
        std::lock_guard guard(lock_);
        cachedToken_.reset();
        tokenKnown_ = true;
    }
    post([](platform::SecretStore& s) { s.remove(kTokenAccount); });
    setExpiry(std::nullopt);
    setExpiresIn(std::nullopt);
}

std::optional<double> TokenManager::expiresIn() const {
    std::lock_guard guard(lock_);
    return expiresIn_;
}

void TokenManager::setExpiresIn(std::optional<double> seconds) {
    std::lock_guard guard(lock_);
    expiresIn_ = seconds;
}

std::string TokenManager::formatExpiry(const QDateTime& date) {
    // Integer division truncates toward zero, also before 1970.
    return std::to_string(date.toMSecsSinceEpoch() / 1000);
}

std::optional<QDateTime> TokenManager::parseExpiry(const std::string& text) {
    const auto seconds = parseDecimalDouble(QString::fromStdString(text));
    // Beyond this the milliseconds no longer fit a 64-bit count.
    constexpr double kLimit = 9.0e15;
    if (!seconds || std::fabs(*seconds) > kLimit) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(std::llround(*seconds * 1000.0), Qt::UTC);
}

}  // namespace corvanta::backend
