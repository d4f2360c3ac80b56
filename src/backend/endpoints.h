#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QUrl>
#include <optional>

// Every request the client sends, described as data: the Endpoint base with the defaults all of
// them share, then one class per group of requests (account, device, dashboard, content pages),
// each case with its path, method and fields. ApiClient::buildRequest turns one into HTTP.

namespace corvanta::backend {

enum class HttpMethod { get, post, put, patch, delete_ };

inline QByteArray httpMethodText(HttpMethod method) {
    switch (method) {
        case HttpMethod::get:
            return QByteArrayLiteral("GET");
        case HttpMethod::post:
            return QByteArrayLiteral("POST");
        case HttpMethod::put:
            return QByteArrayLiteral("PUT");
        case HttpMethod::patch:
            return QByteArrayLiteral("PATCH");
        case HttpMethod::delete_:
            return QByteArrayLiteral("DELETE");
    }
    return {};
}

using HeaderMap = QMap<QString, QString>;
using FormParameters = QMap<QString, QString>;
using QueryItems = QList<QPair<QString, QString>>;

// The backend's base URL: the environment variable CORVANTA_API_BASE_URL when set and not
// empty, else the one compiled in (the CMake cache variable of the same name).
QUrl apiBaseUrl();

// A backend request, described as data. Subclasses give the path and method and override the
// rest where they differ from the defaults.
class Endpoint {
public:
    virtual ~Endpoint() = default;

    virtual QUrl baseUrl() const;
    virtual QString path() const = 0;
    virtual HttpMethod method() const = 0;
    // Default: Accept application/json, Accept-Language en.
    virtual std::optional<HeaderMap> headers() const;
    virtual std::optional<QByteArray> body() const { return std::nullopt; }
    virtual std::optional<QueryItems> queryItems() const { return std::nullopt; }
    virtual std::optional<FormParameters> formParameters() const { return std::nullopt; }
};

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
    HttpMethod method() const override;
    std::optional<FormParameters> formParameters() const override;

private:
    AuthEndpoint(Kind kind, QString key) : kind_(kind), key_(std::move(key)) {}

    Kind kind_;
    QString key_;
};

// The device requests: all POST with form bodies.
class DeviceEndpoint final : public Endpoint {
public:
    enum class Kind { initialize, checkApiKey, getTask, pullTask, report };

    static DeviceEndpoint initialize(QString sn, QString name, QString cpu);
    static DeviceEndpoint checkApiKey(QString apiKey, qint64 deviceId);
    static DeviceEndpoint getTask(qint64 deviceId);
    static DeviceEndpoint pullTask(QString taskId, QString result);
    static DeviceEndpoint report(qint64 deviceId, QString log);

    Kind kind() const { return kind_; }
    QString path() const override;
    HttpMethod method() const override { return HttpMethod::post; }
    std::optional<FormParameters> formParameters() const override { return form_; }

private:
    DeviceEndpoint(Kind kind, FormParameters form) : kind_(kind), form_(std::move(form)) {}

    Kind kind_;
    FormParameters form_;
};

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
    HttpMethod method() const override { return HttpMethod::get; }
    std::optional<QueryItems> queryItems() const override;

private:
    IndexEndpoint(Kind kind, QString version) : kind_(kind), version_(std::move(version)) {}

    Kind kind_;
    QString version_;
};

enum class PageType { about, privacy, terms };

inline QString pageTypeText(PageType type) {
    switch (type) {
        case PageType::about:
            return QStringLiteral("about");
        case PageType::privacy:
            return QStringLiteral("privacy");
        case PageType::terms:
            return QStringLiteral("terms");
    }
    return {};
}

// The content pages: GET /api/page/detail?type=...
class PageEndpoint final : public Endpoint {
public:
    static PageEndpoint detail(PageType type) { return PageEndpoint(type); }

    PageType type() const { return type_; }
    QString path() const override { return QStringLiteral("/api/page/detail"); }
    HttpMethod method() const override { return HttpMethod::get; }
    std::optional<QueryItems> queryItems() const override {
        return QueryItems{{QStringLiteral("type"), pageTypeText(type_)}};
    }

private:
    explicit PageEndpoint(PageType type) : type_(type) {}

    PageType type_;
};

}  // namespace corvanta::backend
