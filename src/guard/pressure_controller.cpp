#include "guard/pressure_controller.h"

#include <algorithm>

#include "guard/system_monitor_service.h"

namespace corvanta::guard {

namespace {

constexpr quint64 kFullChunk = 200'000'000;
constexpr quint64 kHalfChunk = 100'000'000;
constexpr quint64 kSmallChunk = 10'000'000;
// Below this a halved fair-state chunk would drop under the small chunk.
constexpr quint64 kHalvingFloor = 20'000'000;
constexpr int kFullUnits = 16;
constexpr double kUiLatencyMs = 250.0;
constexpr double kUiBusyMs = 80.0;

}  // namespace

PressureController::PressureController(SystemMonitorService& monitor,
                                       PressureControllerOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      currentAdvice_(PressureAdvice::initial(options_.clock())),
      systemMonitor_(&monitor),
      thermalGuard_(monitor) {
    timer_.setInterval(options_.adviceInterval);
    connect(&timer_, &QTimer::timeout, this, &PressureController::refreshAdvice);
    // The thermal zones are polled once a second; waiting for the next two-second tick on top of
    // that would let lanes start segments for up to three seconds on a machine already at its
    // critical trip. The guard's own handler runs first (it connected first), so the advice sees
    // the new multiplier.
    connect(&monitor, &SystemMonitorService::thermalStateChanged, this, [this] {
        if (timer_.isActive()) {
            refreshAdvice();
        }
    });
}

PressureController::~PressureController() {
    stop();
}

void PressureController::start() {
    if (timer_.isActive() || !systemMonitor_) {
        return;
    }
    systemMonitor_->start();
    systemMonitor_->collectDynamic();
    refreshAdvice();
    timer_.start();
}

void PressureController::stop() {
    if (!timer_.isActive()) {
        return;
    }
    timer_.stop();
    if (!systemMonitor_) {
        return;
    }
    systemMonitor_->releaseStart();
    if (systemMonitor_->startCount() == 0) {
        systemMonitor_->stop();
    }
}

void PressureController::refreshAdvice() {
    if (!systemMonitor_) {
        return;
    }
    currentAdvice_ = adviceFor(systemMonitor_->currentSnapshot(), currentAdvice_,
                               thermalGuard_.currentMultiplier(), options_.clock());
    emit currentAdviceChanged(currentAdvice_);
}

PressureAdvice PressureController::adviceFor(const SystemSnapshot& snapshot,
                                             const PressureAdvice& previous,
                                             double thermalMultiplier, MonotonicTime now) {
    PressureAdvice advice;
    const QString& thermal = snapshot.thermalState;
    const auto set = [&advice](quint64 chunk, int units, const char* reason) {
        advice.suggestedChunkSize = chunk;
        advice.suggestedCuCount = units;
        advice.reason = QString::fromLatin1(reason);
    };

    if (thermal == QLatin1String("critical") || thermalMultiplier < 0.25) {
        set(0, 0, "thermal-critical");
    } else if (thermal == QLatin1String("serious")) {
        set(kSmallChunk, 1, "thermal-serious");
    } else if (snapshot.memoryPressure > 1) {
        set(kSmallChunk, 8, "memory-critical");
    } else if (snapshot.memoryPressure == 1) {
        set(kSmallChunk, 8, "memory-pressure");
    } else if (snapshot.mainThreadLatencyMs >= kUiLatencyMs) {
        set(kSmallChunk, 1, "ui-latency");
    } else if (snapshot.mainThreadLatencyMs >= kUiBusyMs) {
        set(kSmallChunk, 1, "ui-busy");
    } else if (thermal != QLatin1String("fair")) {
        set(kFullChunk, kFullUnits, "thermal-nominal");
    } else {
        // Each tick in the fair state halves the budget until it reaches the small floor.
        const quint64 prevChunk = previous.suggestedChunkSize;
        const int prevUnits = previous.suggestedCuCount;
        const quint64 chunk = prevChunk >= kFullChunk      ? kHalfChunk
                              : prevChunk >= kHalvingFloor ? prevChunk / 2
                                                           : kSmallChunk;
        const int units = prevUnits <= 0               ? 1
                          : prevUnits > kFullUnits - 1 ? 8
                                                       : std::max(prevUnits, 2) / 2;
        set(chunk, units, "thermal-fair");
    }

    advice.cpuIdle = std::clamp(100.0 - snapshot.cpuUsage, 0.0, 100.0);
    advice.thermalMultiplier = thermalMultiplier;
    advice.timestamp = now;
    return advice;
}

}  // namespace corvanta::guard
