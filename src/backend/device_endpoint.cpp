#include "backend/device_endpoint.h"

namespace corvanta::backend {

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

}  // namespace corvanta::backend
