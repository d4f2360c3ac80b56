#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <optional>

#include "platform/sensors/power_supply_reader.h"

namespace corvanta::platform {

// The machine's battery: UPower's display device over the system bus, followed through its
// property changes; without UPower, /sys/class/power_supply read now and then. Main thread only;
// never waits on the bus.
class BatteryMonitor : public QObject {
    Q_OBJECT

public:
    struct Options {
        std::filesystem::path root = "/";  // where /sys is read
        // How often /sys is read without UPower (only on a machine that has a battery).
        std::chrono::milliseconds pollInterval{30'000};
    };

    // `bus` is the system bus (a private one in tests); a bus that is not connected leaves
    // /sys.
    explicit BatteryMonitor(QDBusConnection bus, Options options, QObject* parent = nullptr);
    explicit BatteryMonitor(QDBusConnection bus, QObject* parent = nullptr)
        : BatteryMonitor(std::move(bus), Options{}, parent) {}

    // nullopt: the machine has no battery.
    const std::optional<BatteryReading>& battery() const { return battery_; }
    bool hasBattery() const { return battery_.has_value(); }
    bool isOnBattery() const { return battery_ && battery_->onBattery; }
    // Whether the readings come from UPower (once its first answer has arrived).
    bool followsUpower() const { return followsUpower_; }

signals:
    // The battery appeared, went, or changed its state or charge.
    void batteryChanged();

private Q_SLOTS:
    void upowerPropertiesChanged();

private:
    void askUpower();
    void readPowerSupply();
    void publish(std::optional<BatteryReading> battery);

    QDBusConnection bus_;
    PowerSupplyReader powerSupply_;
    QTimer pollTimer_;
    std::optional<BatteryReading> battery_;
    bool followsUpower_ = false;
};

}  // namespace corvanta::platform
