#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <optional>

#include "guard/device_info.h"
#include "guard/device_info_collector.h"

namespace corvanta::ui {

// Publishes the machine description for the device page and keeps it fresh once a second while
// the page is open. Lives on the main thread. Collections run on a pool thread (the first OpenCL
// query of a process can take a noticeable time with some drivers) and are published on the main
// thread; a tick that finds one still running is skipped.
class DeviceInfoViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(corvanta::guard::DeviceInfo deviceInfo READ deviceInfo NOTIFY deviceInfoChanged)
    Q_PROPERTY(bool isCollecting READ isCollecting NOTIFY isCollectingChanged)

public:
    explicit DeviceInfoViewModel(QObject* parent = nullptr);
    DeviceInfoViewModel(guard::DeviceInfoCollectorOptions options,
                        std::chrono::milliseconds refreshInterval, QObject* parent = nullptr);
    ~DeviceInfoViewModel() override;

    const guard::DeviceInfo& deviceInfo() const { return info_; }
    bool isCollecting() const { return collecting_; }

    // Collects at once and then on every tick. Does nothing while auto-refresh is already on.
    Q_INVOKABLE void startAutoRefresh();
    // Stops the ticks; a collection already running still publishes its result.
    Q_INVOKABLE void stopAutoRefresh();
    bool isAutoRefreshing() const { return timer_ != nullptr; }

    // One collection now, unless one is running.
    Q_INVOKABLE void refresh();

signals:
    void deviceInfoChanged();
    void isCollectingChanged();

private:
    void publish(std::optional<guard::DeviceInfo> info);

    std::shared_ptr<const guard::DeviceInfoCollector> collector_;
    std::chrono::milliseconds refreshInterval_;
    std::unique_ptr<QTimer> timer_;
    guard::DeviceInfo info_;
    bool collecting_ = false;
};

}  // namespace corvanta::ui
