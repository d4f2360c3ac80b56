#pragma once

#include "backend/endpoint.h"

namespace corvanta::backend {

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
    HTTPMethod method() const override { return HTTPMethod::post; }
    std::optional<FormParameters> formParameters() const override { return form_; }

private:
    DeviceEndpoint(Kind kind, FormParameters form) : kind_(kind), form_(std::move(form)) {}

    Kind kind_;
    FormParameters form_;
};

}  // namespace corvanta::backend
