#pragma once

#include <QCoroTask>
#include <QObject>
#include <stop_token>

#include "async/loading_flag.h"
#include "backend/device_records.h"

namespace corvanta::backend {

class ApiClient;

// Device registration and task fetching. The key check and nonce submission go straight
// through `apiClient()` (DeviceEndpoint::checkApiKey / pullTask with requestEmpty). Main thread.
class DeviceRepository : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    explicit DeviceRepository(ApiClient& client, QObject* parent = nullptr);

    bool isLoading() const { return loading_.isLoading(); }
    ApiClient& apiClient() const { return client_; }

    // isLoading is true while the registration runs, and false after it, success or not.
    QCoro::Task<DeviceInitResponse> registerDevice(QString sn, QString name, QString cpu,
                                                   std::stop_token stop = {});
    QCoro::Task<DeviceTaskResponse> fetchTask(qint64 deviceId, std::stop_token stop = {});

signals:
    void isLoadingChanged();

private:
    ApiClient& client_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::backend
