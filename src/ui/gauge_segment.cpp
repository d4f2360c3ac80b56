#include "ui/gauge_segment.h"

#include <cmath>

namespace corvanta::ui {

const QList<GaugeSegment>& GaugeSegment::scarcitySegments() {
    static const QList<GaugeSegment> segments{
        {0, 25, QColor(0x22, 0xC5, 0x5E), QStringLiteral("gauge_abundant")},
        {25, 45, QColor(0x84, 0xCC, 0x16), QStringLiteral("gauge_balanced")},
        {45, 70, QColor(0xF5, 0x9E, 0x0B), QStringLiteral("gauge_tightening")},
        {70, 85, QColor(0xF9, 0x73, 0x16), QStringLiteral("gauge_scarce")},
        {85, 95, QColor(0xEF, 0x44, 0x44), QStringLiteral("gauge_extremely_scarce")},
        {95, 100, QColor(0x8B, 0x5C, 0xF6), QStringLiteral("gauge_ultra_rare")},
    };
    return segments;
}

int GaugeSegment::indexFor(const QList<GaugeSegment>& segments, double value) {
    if (segments.isEmpty()) {
        return -1;
    }
    if (std::isnan(value) || value <= segments.front().upper) {
        return 0;
    }
    for (int i = 0; i < segments.size(); ++i) {
        if (value >= segments[i].lower && value <= segments[i].upper) {
            return i;
        }
    }
    // Above the scale, or in a gap between bands: the last band that starts below the value.
    int index = 0;
    for (int i = 0; i < segments.size(); ++i) {
        if (segments[i].lower <= value) {
            index = i;
        }
    }
    return index;
}

}  // namespace corvanta::ui
