#pragma once

#include <QDateTime>
#include <functional>

#include "backend/request_interceptor.h"

namespace corvanta::backend {

class TokenManager;

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
