#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QNetworkRequest>
#include <functional>

namespace corvanta::backend {

class TokenManager;

// A step every request passes before it is sent, on the main thread. May suspend and may throw;
// a throw ends the request with that error.
class RequestInterceptor {
public:
    virtual ~RequestInterceptor() = default;
    virtual QCoro::Task<QNetworkRequest> intercept(QNetworkRequest request) = 0;
};

// Puts the valid access token, exactly as stored, into the "token" header. Without a valid token
// the request goes out unchanged (an expired token is cleared on the way).
class TokenInjector final : public RequestInterceptor {
public:
    using Clock = std::function<QDateTime()>;

    explicit TokenInjector(TokenManager& tokens, Clock clock = &QDateTime::currentDateTimeUtc);
    QCoro::Task<QNetworkRequest> intercept(QNetworkRequest request) override;

private:
    TokenManager& tokens_;
    Clock clock_;
};

}  // namespace corvanta::backend
