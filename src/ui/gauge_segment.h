#pragma once

#include <QColor>
#include <QList>
#include <QString>

namespace corvanta::ui {

// One coloured band of the token scarcity gauge, over a closed range of the 0–100 scale.
struct GaugeSegment {
    double lower = 0;
    double upper = 0;
    QColor color;
    QString label;  // localisation key

    // The six bands, from "gauge_abundant" (0–25) to "gauge_ultra_rare" (95–100).
    static const QList<GaugeSegment>& scarcitySegments();
    // The band a value falls in. Neighbouring bands share their boundary (25 is in 0–25 and
    // in 25–45); the lower band wins, so a band holds its upper bound and starts just above its
    // lower one. Values off the scale (and NaN) belong to the nearest end band. -1 for no bands.
    static int indexFor(const QList<GaugeSegment>& segments, double value);

    bool operator==(const GaugeSegment&) const = default;
};

}  // namespace corvanta::ui
