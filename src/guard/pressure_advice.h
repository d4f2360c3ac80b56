#pragma once

#include <QMetaType>
#include <QString>
#include <cstdint>

#include "guard/monotonic_clock.h"

namespace corvanta::guard {

// The engine's budget: how large a segment may be and how many compute units may work.
struct PressureAdvice {
    Q_GADGET
    Q_PROPERTY(quint64 suggestedChunkSize MEMBER suggestedChunkSize)
    Q_PROPERTY(int suggestedCuCount MEMBER suggestedCuCount)
    Q_PROPERTY(double cpuIdle MEMBER cpuIdle)
    Q_PROPERTY(double thermalMultiplier MEMBER thermalMultiplier)
    Q_PROPERTY(QString reason MEMBER reason)

public:
    quint64 suggestedChunkSize = 200'000'000;  // 0 blocks all work
    int suggestedCuCount = 16;
    double cpuIdle = 100.0;  // percent
    double thermalMultiplier = 1.0;
    QString reason = QStringLiteral("initial");
    MonotonicTime timestamp{};

    // The advice before the first computation.
    static PressureAdvice initial(MonotonicTime now) {
        PressureAdvice advice;
        advice.timestamp = now;
        return advice;
    }

    bool operator==(const PressureAdvice&) const = default;
};

}  // namespace corvanta::guard

Q_DECLARE_METATYPE(corvanta::guard::PressureAdvice)
