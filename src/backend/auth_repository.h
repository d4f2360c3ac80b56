#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QSettings>
#include <functional>

#include "async/loading_flag.h"

namespace corvanta::backend {

class ApiClient;
class TokenManager;

// The sign-in: turns the user's key into an access token, keeps the token fresh, and owns the
// signed-in flag the window switches on. When the sign-in ends it stops the engine through the
// callback the composition root installs (this module cannot reach the engine itself).
// Main thread only. It decides its first state from what is stored only once the token manager
// has loaded: at construction when that has happened, else through applyStoredSignIn().
class AuthRepository : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isAuthenticated READ isAuthenticated NOTIFY isAuthenticatedChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    using Clock = std::function<QDateTime()>;
    // Why the engine is stopped: the sign-in ended by itself, or the user signed out.
    enum class EngineStop { signInEnded, signedOut };

    static constexpr qint64 kRefreshThresholdSeconds = 86400;

    // The key is kept in `tokens` with the token; "cached_user" is removed from
    // `standardDefaults`.
    AuthRepository(ApiClient& client, TokenManager& tokens, QSettings& standardDefaults,
                   QObject* parent = nullptr, Clock clock = &QDateTime::currentDateTimeUtc);

    bool isAuthenticated() const { return isAuthenticated_; }
    bool isLoading() const { return loading_.isLoading(); }

    void setStopEngine(std::function<void(EngineStop)> stopEngine) {
        stopEngine_ = std::move(stopEngine);
    }

    // Signed in when a valid token and a key are stored; otherwise what is left of a sign-in is
    // cleared. For the composition root once the token manager has loaded.
    void applyStoredSignIn();

    // Signs in with a key. Throws ApiError (invalidRequest for a blank key, invalidResponse for
    // a reply without a token) or the request's error; the key is saved only on success.
    QCoro::Task<> login(QString key);
    // Checks the stored token with the backend (refreshing it when a day or less remains).
    // False when signed out; a failure other than 401 is logged and keeps the current state.
    QCoro::Task<bool> verifySignIn();
    // At start: verifies a stored sign-in, or clears what is left of one.
    QCoro::Task<bool> restoreSignIn();
    // Ends the sign-in here at once; the backend is told afterwards, without the token.
    void signOut();

    QCoro::Task<> checkToken();
    QCoro::Task<qint64> fetchRemainingSeconds();
    QCoro::Task<QString> refreshToken();
    // True when the logout request failed.
    QCoro::Task<bool> logoutRemote();
    void clearLocalSignIn();

signals:
    void isAuthenticatedChanged();
    void isLoadingChanged();

private:
    void setAuthenticated(bool value);
    void stopEngine(EngineStop why);
    void applyRemaining(qint64 remaining);

    ApiClient& client_;
    TokenManager& tokens_;
    QSettings& standardDefaults_;
    Clock clock_;
    std::function<void(EngineStop)> stopEngine_;
    bool isAuthenticated_ = false;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::backend
