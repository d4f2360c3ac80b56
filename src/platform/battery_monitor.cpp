#include "platform/battery_monitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QPointer>
#include <QVariantMap>

#include <algorithm>

namespace corvanta::platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UPower");
const QString kDisplayDevice = QStringLiteral("/org/freedesktop/UPower/devices/DisplayDevice");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.UPower.Device");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// UPower's display device: its Type (2: battery), IsPresent, State and Percentage.
std::optional<BatteryReading> readingFromUpower(const QVariantMap& properties) {
    constexpr uint kTypeBattery = 2;
    if (properties.value(QStringLiteral("Type")).toUInt() != kTypeBattery ||
        !properties.value(QStringLiteral("IsPresent")).toBool()) {
        return std::nullopt;
    }
    BatteryReading reading;
    reading.percent =
        std::clamp(properties.value(QStringLiteral("Percentage")).toDouble(), 0.0, 100.0);
    switch (properties.value(QStringLiteral("State")).toUInt()) {
        case 1:  // charging
            reading.state = "charging";
            break;
        case 2:  // discharging
        case 3:  // empty
        case 6:  // pending discharge
            reading.state = "discharging";
            reading.onBattery = true;
            break;
        case 4:  // fully charged
            reading.state = "full";
            break;
        case 5:  // pending charge
            reading.state = "not charging";
            break;
        default:
            reading.state = "unknown";
            break;
    }
    return reading;
}

}  // namespace

BatteryMonitor::BatteryMonitor(QDBusConnection bus, Options options, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), powerSupply_(options.root) {
    pollTimer_.setInterval(options.pollInterval);
    connect(&pollTimer_, &QTimer::timeout, this, &BatteryMonitor::readPowerSupply);
    // A first reading at once; UPower's answer replaces it when it comes.
    battery_ = powerSupply_.read();
    if (battery_) {
        pollTimer_.start();
    }
    if (bus_.isConnected()) {
        bus_.connect(kService, kDisplayDevice, kProperties, QStringLiteral("PropertiesChanged"),
                     this, SLOT(upowerPropertiesChanged()));
        askUpower();
    }
}

void BatteryMonitor::upowerPropertiesChanged() {
    askUpower();
}

void BatteryMonitor::askUpower() {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kDisplayDevice, kProperties,
                                                       QStringLiteral("GetAll"));
    call << kDeviceInterface;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 5'000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QVariantMap> reply = *finished;
                if (reply.isError()) {
                    // No UPower: /sys it is, as far as the machine has a battery.
                    return;
                }
                followsUpower_ = true;
                pollTimer_.stop();
                publish(readingFromUpower(reply.value()));
            });
}

void BatteryMonitor::readPowerSupply() {
    publish(powerSupply_.read());
}

void BatteryMonitor::publish(std::optional<BatteryReading> battery) {
    if (battery != battery_) {
        battery_ = std::move(battery);
        emit batteryChanged();
    }
}

}  // namespace corvanta::platform
