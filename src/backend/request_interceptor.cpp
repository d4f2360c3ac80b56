#include "backend/request_interceptor.h"

#include "backend/token_manager.h"

namespace corvanta::backend {

TokenInjector::TokenInjector(TokenManager& tokens, Clock clock)
    : tokens_(tokens), clock_(std::move(clock)) {}

QCoro::Task<QNetworkRequest> TokenInjector::intercept(QNetworkRequest request) {
    if (const auto token = tokens_.validToken(clock_())) {
        request.setRawHeader("token", token->toUtf8());
    }
    co_return request;
}

}  // namespace corvanta::backend
