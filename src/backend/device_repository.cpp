#include "backend/device_repository.h"

#include <QPointer>

#include "backend/api_client.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

DeviceRepository::DeviceRepository(APIClient& client, QObject* parent)
    : QObject(parent), client_(client) {}

void DeviceRepository::setLoading(bool loading) {
    if (isLoading_ != loading) {
        isLoading_ = loading;
        emit isLoadingChanged();
    }
}

QCoro::Task<DeviceInitResponse> DeviceRepository::registerDevice(QString sn, QString name,
                                                                 QString cpu,
                                                                 std::stop_token stop) {
    const QPointer<DeviceRepository> self(this);
    APIClient& client = client_;
    setLoading(true);
    try {
        DeviceInitResponse response = co_await client.request<DeviceInitResponse>(
            DeviceEndpoint::initialize(std::move(sn), std::move(name), std::move(cpu)),
            std::move(stop));
        if (self) {
            self->setLoading(false);
        }
        co_return response;
    } catch (...) {
        if (self) {
            self->setLoading(false);
        }
        throw;
    }
}

QCoro::Task<DeviceTaskResponse> DeviceRepository::fetchTask(qint64 deviceId, std::stop_token stop) {
    co_return co_await client_.request<DeviceTaskResponse>(DeviceEndpoint::getTask(deviceId),
                                                           std::move(stop));
}

}  // namespace corvanta::backend
