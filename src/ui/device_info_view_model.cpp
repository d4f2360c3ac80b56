#include "ui/device_info_view_model.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <exception>
#include <optional>

namespace corvanta::ui {

using namespace std::chrono_literals;

DeviceInfoViewModel::DeviceInfoViewModel(QObject* parent)
    : DeviceInfoViewModel(guard::DeviceInfoCollectorOptions{}, 1000ms, parent) {}

DeviceInfoViewModel::DeviceInfoViewModel(guard::DeviceInfoCollectorOptions options,
                                         std::chrono::milliseconds refreshInterval, QObject* parent)
    : QObject(parent),
      collector_(std::make_shared<const guard::DeviceInfoCollector>(std::move(options))),
      refreshInterval_(refreshInterval) {}

DeviceInfoViewModel::~DeviceInfoViewModel() = default;

void DeviceInfoViewModel::startAutoRefresh() {
    if (timer_) {
        return;
    }
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(refreshInterval_);
    connect(timer_.get(), &QTimer::timeout, this, &DeviceInfoViewModel::refresh);
    timer_->start();
    refresh();
}

void DeviceInfoViewModel::stopAutoRefresh() {
    timer_.reset();
}

void DeviceInfoViewModel::refresh() {
    if (collecting_) {
        return;
    }
    collecting_ = true;
    emit isCollectingChanged();

    QCoreApplication* application = QCoreApplication::instance();
    if (application == nullptr) {
        publish(collector_->collect());
        return;
    }
    // The job keeps the collector alive itself and posts its result through the application
    // object, which outlives every pool job; the guarded pointer is only read on the main
    // thread, so a page closed mid-collection is safe.
    QPointer<DeviceInfoViewModel> self(this);
    QThreadPool::globalInstance()->start([self, application, collector = collector_] {
        std::optional<guard::DeviceInfo> info;
        try {
            info = collector->collect();
        } catch (const std::exception&) {
            // Only allocation can fail here; keep the last description and try on the next tick.
        }
        QMetaObject::invokeMethod(
            application,
            [self, info = std::move(info)]() mutable {
                if (self) {
                    self->publish(std::move(info));
                }
            },
            Qt::QueuedConnection);
    });
}

void DeviceInfoViewModel::publish(std::optional<guard::DeviceInfo> info) {
    if (info && *info != info_) {
        info_ = std::move(*info);
        emit deviceInfoChanged();
    }
    collecting_ = false;
    emit isCollectingChanged();
}

}  // namespace corvanta::ui
