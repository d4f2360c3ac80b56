#include "backend/device_repository.h"

#include "backend/api_client.h"
#include "backend/endpoints.h"

namespace corvanta::backend {

DeviceRepository::DeviceRepository(ApiClient& client, QObject* parent)
    : QObject(parent), client_(client) {}

QCoro::Task<DeviceInitResponse> DeviceRepository::registerDevice(QString sn, QString name,
                                                                 QString cpu,
                                                                 std::stop_token stop) {
    const auto load = loading_.begin();
    co_return co_await client_.request<DeviceInitResponse>(
        DeviceEndpoint::initialize(std::move(sn), std::move(name), std::move(cpu)),
        std::move(stop));
}

QCoro::Task<DeviceTaskResponse> DeviceRepository::fetchTask(qint64 deviceId, std::stop_token stop) {
    co_return co_await client_.request<DeviceTaskResponse>(DeviceEndpoint::getTask(deviceId),
                                                           std::move(stop));
}

}  // namespace corvanta::backend
