#include "backend/endpoints.h"

#include <QtGlobal>

namespace corvanta::backend {

QUrl apiBaseUrl() {
    const QString fromEnvironment = qEnvironmentVariable("CORVANTA_API_BASE_URL").trimmed();
    if (!fromEnvironment.isEmpty()) {
        return QUrl(fromEnvironment);
    }
    return QUrl(QStringLiteral(CORVANTA_API_BASE_URL));
}

QUrl Endpoint::baseUrl() const {
    return apiBaseUrl();
}

std::optional<HeaderMap> Endpoint::headers() const {
    return HeaderMap{{QStringLiteral("Accept"), QStringLiteral("application/json")},
                     {QStringLiteral("Accept-Language"), QStringLiteral("en")}};
}

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

HttpMethod AuthEndpoint::method() const {
    switch (kind_) {
        case Kind::keyLogin:
        case Kind::logout:
            return HttpMethod::post;
        case Kind::tokenCheck:
        case Kind::tokenRefresh:
            return HttpMethod::get;
    }
    return HttpMethod::get;
}

std::optional<FormParameters> AuthEndpoint::formParameters() const {
    if (kind_ == Kind::keyLogin) {
        return FormParameters{{QStringLiteral("api_key"), key_}};
    }
    return std::nullopt;
}

DeviceEndpoint DeviceEndpoint::initialize(QString sn, QString name, QString cpu) {
    return DeviceEndpoint(Kind::initialize, {{QStringLiteral("sn"), std::move(sn)},
                                             {QStringLiteral("name"), std::move(name)},
                                             {QStringLiteral("cpu"), std::move(cpu)}});
}

DeviceEndpoint DeviceEndpoint::checkApiKey(QString apiKey, qint64 deviceId) {
    return DeviceEndpoint(Kind::checkApiKey,
                          {{QStringLiteral("api_key"), std::move(apiKey)},
                           {QStringLiteral("device_id"), QString::number(deviceId)}});
}

DeviceEndpoint DeviceEndpoint::getTask(qint64 deviceId) {
    return DeviceEndpoint(Kind::getTask,
                          {{QStringLiteral("device_id"), QString::number(deviceId)}});
}

DeviceEndpoint DeviceEndpoint::pullTask(QString taskId, QString result) {
    return DeviceEndpoint(Kind::pullTask, {{QStringLiteral("task_id"), std::move(taskId)},
                                           {QStringLiteral("result"), std::move(result)}});
}

DeviceEndpoint DeviceEndpoint::report(qint64 deviceId, QString log) {
    return DeviceEndpoint(Kind::report, {{QStringLiteral("device_id"), QString::number(deviceId)},
                                         {QStringLiteral("log"), std::move(log)}});
}

QString DeviceEndpoint::path() const {
    switch (kind_) {
        case Kind::initialize:
            return QStringLiteral("/api/device/init");
        case Kind::checkApiKey:
            return QStringLiteral("/api/device/checkApiKey");
        case Kind::getTask:
            return QStringLiteral("/api/device/getTask");
        case Kind::pullTask:
            return QStringLiteral("/api/device/pullTask");
        case Kind::report:
            return QStringLiteral("/api/device/report");
    }
    return {};
}

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
