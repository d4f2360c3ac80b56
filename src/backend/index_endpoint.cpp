#include "backend/index_endpoint.h"

namespace corvanta::backend {

IndexEndpoint IndexEndpoint::version(QString currentVersion) {
    return IndexEndpoint(Kind::version, std::move(currentVersion));
}

QString IndexEndpoint::path() const {
    switch (kind_) {
        case Kind::version:
            return QStringLiteral("/api/index/version");
        case Kind::index:
            return QStringLiteral("/api/index/index");
        case Kind::recent:
            return QStringLiteral("/api/index/recent");
        case Kind::noticeList:
            return QStringLiteral("/api/index/noticeList");
        case Kind::models:
            return QStringLiteral("/api/index/models");
    }
    return {};
}

std::optional<QueryItems> IndexEndpoint::queryItems() const {
    if (kind_ == Kind::version) {
        return QueryItems{{QStringLiteral("version"), version_}};
    }
    return std::nullopt;
}

}  // namespace corvanta::backend
