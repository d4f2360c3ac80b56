#include "backend/endpoint.h"

#include "backend/api_base_url.h"

namespace corvanta::backend {

QUrl Endpoint::baseURL() const {
    return apiBaseURL();
}

std::optional<HeaderMap> Endpoint::headers() const {
    return HeaderMap{{QStringLiteral("Accept"), QStringLiteral("application/json")},
                     {QStringLiteral("Accept-Language"), QStringLiteral("en")}};
}

}  // namespace corvanta::backend
