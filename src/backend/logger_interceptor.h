#pragma once

#include "backend/request_interceptor.h"

namespace corvanta::backend {

// The place for request tracing. It deliberately writes nothing: requests carry the access token
// and the user's key, and neither may reach a log.
class LoggerInterceptor final : public RequestInterceptor {
public:
    QCoro::Task<QNetworkRequest> intercept(QNetworkRequest request) override { co_return request; }
};

}  // namespace corvanta::backend
