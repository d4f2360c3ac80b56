#pragma once

#include <QCoroTask>
#include <QNetworkRequest>

namespace corvanta::backend {

// A step every request passes before it is sent, on the main thread. May suspend and may throw;
// a throw ends the request with that error.
class RequestInterceptor {
public:
    virtual ~RequestInterceptor() = default;
    virtual QCoro::Task<QNetworkRequest> intercept(QNetworkRequest request) = 0;
};

}  // namespace corvanta::backend
