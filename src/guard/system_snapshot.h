#pragma once

#include <QMetaType>
#include <QString>

namespace corvanta::guard {

// One sample of the machine's load together with its static facts.
struct SystemSnapshot {
    Q_GADGET
    Q_PROPERTY(QString cpuModel MEMBER cpuModel)
    Q_PROPERTY(int cpuCoreCount MEMBER cpuCoreCount)
    Q_PROPERTY(quint64 memoryTotal MEMBER memoryTotal)
    Q_PROPERTY(quint64 diskTotal MEMBER diskTotal)
    Q_PROPERTY(QString osVersion MEMBER osVersion)
    Q_PROPERTY(QString architecture MEMBER architecture)
    Q_PROPERTY(QString serialNumber MEMBER serialNumber)
    Q_PROPERTY(QString hostname MEMBER hostname)
    Q_PROPERTY(double cpuUsage MEMBER cpuUsage)
    Q_PROPERTY(quint64 memoryUsed MEMBER memoryUsed)
    Q_PROPERTY(int memoryPressure MEMBER memoryPressure)
    Q_PROPERTY(double gpuUsage MEMBER gpuUsage)
    Q_PROPERTY(QString thermalState MEMBER thermalState)
    Q_PROPERTY(double batteryLevel MEMBER batteryLevel)
    Q_PROPERTY(bool hasBattery MEMBER hasBattery)
    Q_PROPERTY(bool onBattery MEMBER onBattery)
    Q_PROPERTY(QString batteryState MEMBER batteryState)
    Q_PROPERTY(double mainThreadLatencyMs MEMBER mainThreadLatencyMs)

public:
    // Static: collected once when the monitor is built.
    QString cpuModel;
    int cpuCoreCount = 0;
    quint64 memoryTotal = 0;
    quint64 diskTotal = 0;
    QString osVersion;
    QString architecture;
    QString serialNumber;  // the hardware model identifier (DMI product name)
    QString hostname;

    // Dynamic: refreshed by every sample.
    double cpuUsage = 0.0;  // percent since the previous sample
    quint64 memoryUsed = 0;
    int memoryPressure = 0;  // 0, 1 or 2
    double gpuUsage = 0.0;   // percent
    QString thermalState = QStringLiteral("nominal");
    double batteryLevel = 0.0;  // percent; 100 without a battery
    bool hasBattery = false;
    bool onBattery = false;  // running from the battery rather than from mains power
    // "no battery", "charging", "discharging", "full", "not charging" or "unknown".
    QString batteryState = QStringLiteral("no battery");
    double mainThreadLatencyMs = 0.0;  // how late the sampling tick ran

    bool operator==(const SystemSnapshot&) const = default;
};

}  // namespace corvanta::guard

Q_DECLARE_METATYPE(corvanta::guard::SystemSnapshot)
