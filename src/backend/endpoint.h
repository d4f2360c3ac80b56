#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

#include "backend/http_method.h"

namespace corvanta::backend {

using HeaderMap = QMap<QString, QString>;
using FormParameters = QMap<QString, QString>;
using QueryItems = QList<QPair<QString, QString>>;

// A backend request, described as data. Subclasses give the path and method and override the
// rest where they differ from the defaults.
class Endpoint {
public:
    virtual ~Endpoint() = default;

    virtual QUrl baseURL() const;
    virtual QString path() const = 0;
    virtual HTTPMethod method() const = 0;
    // Default: Accept application/json, Accept-Language en.
    virtual std::optional<HeaderMap> headers() const;
    virtual std::optional<QByteArray> body() const { return std::nullopt; }
    virtual std::optional<QueryItems> queryItems() const { return std::nullopt; }
    virtual std::optional<FormParameters> formParameters() const { return std::nullopt; }
};

}  // namespace corvanta::backend
