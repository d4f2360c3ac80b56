#include "backend/token_manager.h"

#include <QCoroFuture>
#include <QtConcurrent>
#include <cmath>

#include "backend/json_decoding.h"

namespace corvanta::backend {

TokenManager::TokenManager(StoreOpener openStore, TokenManagerOptions options)
    : openStore_(std::move(openStore)), options_(std::move(options)) {
    queue_.setMaxThreadCount(1);
    queue_.setExpiryTimeout(-1);
    retryTimer_.setInterval(options_.keyringRetryInterval);
    QObject::connect(&retryTimer_, &QTimer::timeout, [this] { onRetryTimer(); });
}

TokenManager::~TokenManager() {
    retryTimer_.stop();
    queue_.waitForDone();
}

platform::SecretStore& TokenManager::store() {
    if (!store_) {
        store_ = openStore_();
        usesFallback_ = store_->usesFallback();
    }
    return *store_;
}

void TokenManager::post(std::function<void(platform::SecretStore&)> job) {
    queue_.start([this, job = std::move(job)] { job(store()); });
}

bool TokenManager::readAll(const std::map<std::string, std::string>& legacy) {
    auto& secrets = store();
    const std::optional<std::string> token = secrets.read(kTokenAccount);
    const std::optional<std::string> expiry = secrets.read(kExpiryAccount);
    std::map<std::string, std::optional<std::string>> found;
    found[kKeyAccount] = secrets.read(kKeyAccount);
    found[kLegacyKeyAccount] = secrets.read(kLegacyKeyAccount);
    for (const std::string& account : options_.keyAccounts) {
        found[account] = secrets.read(account);
    }
    // What the store holds already was written by this version, later than the legacy copy.
    bool moved = true;
    for (const auto& [account, text] : legacy) {
        auto existing = found.find(account);
        if (existing == found.end()) {
            existing = found.emplace(account, secrets.read(account)).first;
        }
        if (existing->second || text.empty()) {
            continue;
        }
        if (secrets.write(account, text)) {
            existing->second = text;
        } else {
            moved = false;
        }
    }

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
    for (const auto& [account, text] : found) {
        if (!cachedSecrets_.count(account)) {
            cachedSecrets_[account] =
                text ? std::optional<QString>(QString::fromStdString(*text)) : std::nullopt;
        }
    }
    loaded_ = true;
    return moved;
}

QCoro::Task<> TokenManager::load() {
    // The legacy secrets live in the settings file, which belongs to the main thread.
    const auto legacy = std::make_shared<const std::map<std::string, std::string>>(
        options_.legacy.read ? options_.legacy.read() : std::map<std::string, std::string>{});
    const auto moved = std::make_shared<bool>(false);
    // Named, not a temporary of the co_await: GCC 12 destroys those once too often.
    const auto job = [this, legacy, moved] { *moved = readAll(*legacy); };
    co_await QtConcurrent::run(&queue_, job);
    if (!legacy->empty() && *moved && options_.legacy.erase) {
        std::vector<std::string> accounts;
        for (const auto& item : *legacy) {
            accounts.push_back(item.first);
        }
        options_.legacy.erase(accounts);
    }
    if (usesFallback_ && currentToken() && !retryTimer_.isActive()) {
        retryTimer_.start();
    }
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
    if (usesFallback_) {
        retryKeyring();
    }
}

void TokenManager::clear() {
    {
        std::lock_guard guard(lock_);
        cachedToken_.reset();
        tokenKnown_ = true;
    }
    retryTimer_.stop();
    post([](platform::SecretStore& s) { s.remove(kTokenAccount); });
    setExpiry(std::nullopt);
    setExpiresIn(std::nullopt);
}

std::optional<QString> TokenManager::secret(const std::string& account) const {
    std::lock_guard guard(lock_);
    const auto found = cachedSecrets_.find(account);
    return found == cachedSecrets_.end() ? std::nullopt : found->second;
}

void TokenManager::storeSecret(const std::string& account, const QString& text) {
    {
        std::lock_guard guard(lock_);
        cachedSecrets_[account] = text;
    }
    post(
        [account, text = text.toStdString()](platform::SecretStore& s) { s.write(account, text); });
}

void TokenManager::removeSecret(const std::string& account) {
    {
        std::lock_guard guard(lock_);
        cachedSecrets_[account] = std::nullopt;
    }
    post([account](platform::SecretStore& s) { s.remove(account); });
}

void TokenManager::retryKeyring() {
    post([this](platform::SecretStore& s) {
        if (s.usesFallback()) {
            s.retryPreferred();
        }
        usesFallback_ = s.usesFallback();
    });
    if (!retryTimer_.isActive()) {
        retryTimer_.start();
    }
}

void TokenManager::onRetryTimer() {
    // Signed out, or the keyring took over: nothing more to ask.
    if (!usesFallback_ || !currentToken()) {
        retryTimer_.stop();
        return;
    }
    retryKeyring();
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
