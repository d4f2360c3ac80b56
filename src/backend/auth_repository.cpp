#include "backend/auth_repository.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

#include "backend/api_client.h"
#include "backend/auth_records.h"
#include "backend/endpoints.h"
#include "backend/key_store.h"
#include "backend/token_manager.h"
#include "platform/system_log.h"

namespace corvanta::backend {
namespace {

const QString kCachedUser = QStringLiteral("cached_user");

bool isUnauthorized(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const ApiError& apiError) {
        return apiError.kind() == ApiError::Kind::unauthorized;
    } catch (...) {
        return false;
    }
}

QString describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const BackendError& backendError) {
        return backendError.description();
    } catch (const std::exception& other) {
        return QString::fromUtf8(other.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

}  // namespace

AuthRepository::AuthRepository(ApiClient& client, TokenManager& tokens, QSettings& standardDefaults,
                               QObject* parent, Clock clock)
    : QObject(parent),
      client_(client),
      tokens_(tokens),
      standardDefaults_(standardDefaults),
      clock_(std::move(clock)) {
    // Before the token manager has loaded it knows no token: clearing now would delete the
    // stored sign-in this start is meant to restore.
    if (tokens_.isLoaded()) {
        applyStoredSignIn();
    }
}

void AuthRepository::applyStoredSignIn() {
    const bool hasToken = tokens_.validToken(clock_()).has_value();
    const auto key = loadStoredKey(tokens_);
    if (hasToken && key && !key->isEmpty()) {
        setAuthenticated(true);
    } else {
        tokens_.clear();
        standardDefaults_.remove(kCachedUser);
        setAuthenticated(false);
    }
}

void AuthRepository::setAuthenticated(bool value) {
    if (isAuthenticated_ != value) {
        isAuthenticated_ = value;
        emit isAuthenticatedChanged();
    }
}

void AuthRepository::stopEngine(EngineStop why) {
    if (stopEngine_) {
        stopEngine_(why);
    }
}

QCoro::Task<> AuthRepository::login(QString key) {
    const QString trimmed = key.trimmed();
    if (trimmed.isEmpty()) {
        throw ApiError(ApiError::Kind::invalidRequest);
    }
    const auto load = loading_.begin();
    const std::optional<KeyLoginResponse> response =
        co_await client_.requestOptional<KeyLoginResponse>(AuthEndpoint::keyLogin(trimmed));
    if (load.abandoned()) {
        co_return;
    }
    const QString token = response && response->token ? response->token->trimmed() : QString();
    if (token.isEmpty()) {
        tokens_.clear();
        throw ApiError(ApiError::Kind::invalidResponse);
    }
    tokens_.clear();
    tokens_.storeToken(token);
    tokens_.setExpiry(std::nullopt);
    tokens_.setExpiresIn(std::nullopt);
    if (response->expireTimeUnix) {
        // The check below replaces it; until then it must be a date, not an overflow.
        const qint64 latest =
            clock_().toSecsSinceEpoch() + TokenCheckResponse::kMaxExpiresInSeconds;
        tokens_.setExpiry(
            QDateTime::fromSecsSinceEpoch(std::min(*response->expireTimeUnix, latest), Qt::UTC));
        tokens_.setExpiresIn(double(response->expiresIn.value_or(0)));
    }
    std::exception_ptr failure;
    try {
        co_await checkToken();
    } catch (...) {
        failure = std::current_exception();
    }
    if (load.abandoned()) {
        co_return;
    }
    if (failure) {
        tokens_.clear();
        std::rethrow_exception(failure);
    }
    saveStoredKey(trimmed, tokens_);
    standardDefaults_.remove(kCachedUser);
    setAuthenticated(true);
}

void AuthRepository::applyRemaining(qint64 remaining) {
    tokens_.setExpiry(clock_().addSecs(remaining));
    tokens_.setExpiresIn(double(remaining));
}

QCoro::Task<> AuthRepository::checkToken() {
    const QPointer<AuthRepository> self(this);
    const qint64 remaining = co_await fetchRemainingSeconds();
    if (!self) {
        co_return;
    }
    if (remaining < 1) {
        clearLocalSignIn();
        throw ApiError(ApiError::Kind::unauthorized);
    }
    applyRemaining(remaining);
    if (remaining <= kRefreshThresholdSeconds) {
        co_await refreshToken();
    }
}

QCoro::Task<qint64> AuthRepository::fetchRemainingSeconds() {
    const auto response =
        co_await client_.requestOptional<TokenCheckResponse>(AuthEndpoint::tokenCheck());
    co_return response ? response->expiresIn : 0;
}

QCoro::Task<QString> AuthRepository::refreshToken() {
    const QPointer<AuthRepository> self(this);
    const TokenRefreshResponse refreshed =
        co_await client_.request<TokenRefreshResponse>(AuthEndpoint::tokenRefresh());
    if (!self) {
        co_return refreshed.token;
    }
    tokens_.storeToken(refreshed.token);
    tokens_.setExpiry(std::nullopt);
    tokens_.setExpiresIn(std::nullopt);
    const qint64 remaining = co_await fetchRemainingSeconds();
    if (!self) {
        co_return refreshed.token;
    }
    if (remaining < 1) {
        clearLocalSignIn();
        throw ApiError(ApiError::Kind::unauthorized);
    }
    applyRemaining(remaining);
    co_return refreshed.token;
}

QCoro::Task<bool> AuthRepository::verifySignIn() {
    if (!tokens_.validToken(clock_())) {
        clearLocalSignIn();
        co_return false;
    }
    const QPointer<AuthRepository> self(this);
    std::exception_ptr failure;
    try {
        co_await checkToken();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self) {
        co_return false;
    }
    if (!failure) {
        setAuthenticated(true);
        co_return true;
    }
    if (isUnauthorized(failure)) {
        clearLocalSignIn();
        co_return false;
    }
    qCCritical(platform::authLog).noquote() << "token freshness check failed:" << describe(failure);
    co_return false;
}

QCoro::Task<bool> AuthRepository::restoreSignIn() {
    const auto key = loadStoredKey(tokens_);
    if (tokens_.validToken(clock_()) && key && !key->isEmpty()) {
        co_return co_await verifySignIn();
    }
    clearLocalSignIn();
    co_return false;
}

void AuthRepository::clearLocalSignIn() {
    stopEngine(EngineStop::signInEnded);
    tokens_.clear();
    standardDefaults_.remove(kCachedUser);
    setAuthenticated(false);
}

void AuthRepository::signOut() {
    stopEngine(EngineStop::signedOut);
    // Runs after this returns, so the request leaves without the token cleared below.
    QTimer::singleShot(0, this, [this] { logoutRemote(); });
    tokens_.clear();
    standardDefaults_.remove(kCachedUser);
    setAuthenticated(false);
}

QCoro::Task<bool> AuthRepository::logoutRemote() {
    try {
        co_await client_.requestEmpty(AuthEndpoint::logout());
    } catch (...) {
        co_return true;
    }
    co_return false;
}

}  // namespace corvanta::backend
