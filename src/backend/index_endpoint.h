#pragma once

#include "backend/endpoint.h"

namespace corvanta::backend {

// The dashboard and version requests: GET without body.
class IndexEndpoint final : public Endpoint {
public:
    enum class Kind { version, index, recent, noticeList, models };

    static IndexEndpoint version(QString currentVersion);
    static IndexEndpoint index() { return IndexEndpoint(Kind::index, {}); }
    static IndexEndpoint recent() { return IndexEndpoint(Kind::recent, {}); }
    static IndexEndpoint noticeList() { return IndexEndpoint(Kind::noticeList, {}); }
    static IndexEndpoint models() { return IndexEndpoint(Kind::models, {}); }

    Kind kind() const { return kind_; }
    QString path() const override;
    HTTPMethod method() const override { return HTTPMethod::get; }
    std::optional<QueryItems> queryItems() const override;

private:
    IndexEndpoint(Kind kind, QString version) : kind_(kind), version_(std::move(version)) {}

    Kind kind_;
    QString version_;
};

}  // namespace corvanta::backend
