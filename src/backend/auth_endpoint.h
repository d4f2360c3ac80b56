#pragma once

#include "backend/endpoint.h"

namespace corvanta::backend {

// The account requests. The signed-in user travels in the "token" header, not in the body.
class AuthEndpoint final : public Endpoint {
public:
    enum class Kind { keyLogin, logout, tokenCheck, tokenRefresh };

    static AuthEndpoint keyLogin(QString key);
    static AuthEndpoint logout() { return AuthEndpoint(Kind::logout, {}); }
    static AuthEndpoint tokenCheck() { return AuthEndpoint(Kind::tokenCheck, {}); }
    static AuthEndpoint tokenRefresh() { return AuthEndpoint(Kind::tokenRefresh, {}); }

    Kind kind() const { return kind_; }
    QString path() const override;
    HTTPMethod method() const override;
    std::optional<FormParameters> formParameters() const override;

private:
    AuthEndpoint(Kind kind, QString key) : kind_(kind), key_(std::move(key)) {}

    Kind kind_;
    QString key_;
};

}  // namespace corvanta::backend
