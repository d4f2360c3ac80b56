#include "backend/auth_endpoint.h"

namespace corvanta::backend {

AuthEndpoint AuthEndpoint::keyLogin(QString key) {
    return AuthEndpoint(Kind::keyLogin, std::move(key));
}

QString AuthEndpoint::path() const {
    switch (kind_) {
        case Kind::keyLogin:
            return QStringLiteral("/api/user/keyLogin");
        case Kind::logout:
            return QStringLiteral("/api/user/logout");
        case Kind::tokenCheck:
            return QStringLiteral("/api/token/check");
        case Kind::tokenRefresh:
            return QStringLiteral("/api/token/refresh");
    }
    return {};
}

HTTPMethod AuthEndpoint::method() const {
    switch (kind_) {
        case Kind::keyLogin:
        case Kind::logout:
            return HTTPMethod::post;
        case Kind::tokenCheck:
        case Kind::tokenRefresh:
            return HTTPMethod::get;
    }
    return HTTPMethod::get;
}

std::optional<FormParameters> AuthEndpoint::formParameters() const {
    if (kind_ == Kind::keyLogin) {
        return FormParameters{{QStringLiteral("api_key"), key_}};
    }
    return std::nullopt;
}

}  // namespace corvanta::backend
