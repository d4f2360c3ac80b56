#pragma once

#include "backend/endpoint.h"
#include "backend/page_type.h"

namespace corvanta::backend {

// The content pages: GET /api/page/detail?type=...
class PageEndpoint final : public Endpoint {
public:
    static PageEndpoint detail(PageType type) { return PageEndpoint(type); }

    PageType type() const { return type_; }
    QString path() const override { return QStringLiteral("/api/page/detail"); }
    HTTPMethod method() const override { return HTTPMethod::get; }
    std::optional<QueryItems> queryItems() const override {
        return QueryItems{{QStringLiteral("type"), pageTypeText(type_)}};
    }

private:
    explicit PageEndpoint(PageType type) : type_(type) {}

    PageType type_;
};

}  // namespace corvanta::backend
