#include "guard/thermal_guard.h"

#include "guard/system_monitor_service.h"

namespace corvanta::guard {

using platform::ThermalState;

ThermalGuard::ThermalGuard(SystemMonitorService& monitor, QObject* parent)
    : QObject(parent), monitor_(&monitor) {
    currentState_ = monitor.thermalState();
    currentMultiplier_ = multiplierFor(currentState_);
    connect(&monitor, &SystemMonitorService::thermalStateChanged, this,
            &ThermalGuard::thermalStateChanged);
}

double ThermalGuard::multiplierFor(ThermalState state) {
    switch (state) {
        case ThermalState::nominal:
            return 1.0;
        case ThermalState::fair:
            return 0.5;
        case ThermalState::serious:
            return 0.25;
        case ThermalState::critical:
            return 0.0;
        case ThermalState::unknown:
            break;
    }
    return 1.0;
}

QString ThermalGuard::currentStateText() const {
    const std::string_view text = platform::thermalStateText(currentState_);
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void ThermalGuard::setOnBecomeCritical(std::function<void()> callback) {
    onBecomeCritical_ = std::move(callback);
}

void ThermalGuard::setOnResume(std::function<void()> callback) {
    onResume_ = std::move(callback);
}

void ThermalGuard::thermalStateChanged() {
    if (!monitor_) {
        return;
    }
    const ThermalState previous = currentState_;
    currentState_ = monitor_->thermalState();
    const double multiplier = multiplierFor(currentState_);
    if (multiplier != currentMultiplier_) {
        currentMultiplier_ = multiplier;
        emit currentMultiplierChanged(multiplier);
    }
    if (currentState_ != previous) {
        emit currentStateChanged();
    }
    if (currentState_ == ThermalState::critical && previous != ThermalState::critical) {
        if (onBecomeCritical_) {
            onBecomeCritical_();
        }
    } else if (currentState_ != ThermalState::critical && previous == ThermalState::critical) {
        if (onResume_) {
            onResume_();
        }
    }
}

}  // namespace corvanta::guard
