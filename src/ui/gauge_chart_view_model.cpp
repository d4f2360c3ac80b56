#include "ui/gauge_chart_view_model.h"

#include <QVariantMap>
#include <algorithm>
#include <cmath>

#include "platform/string_table.h"

namespace corvanta::ui {

using platform::localized;

GaugeChartViewModel::GaugeChartViewModel(QString titleKey, QList<GaugeSegment> segments,
                                         QObject* parent,
                                         std::chrono::milliseconds animationDuration)
    : QObject(parent), titleKey_(std::move(titleKey)), segments_(std::move(segments)) {
    animation_.setDuration(int(animationDuration.count()));
    animation_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&animation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setDisplayValue(value.toDouble()); });
    connect(&animation_, &QAbstractAnimation::stateChanged, this,
            [this] { emit isAnimatingChanged(); });
}

QString GaugeChartViewModel::title() const {
    return localized(titleKey_);
}

bool GaugeChartViewModel::isAnimating() const {
    return animation_.state() == QAbstractAnimation::Running;
}

int GaugeChartViewModel::segmentIndex() const {
    return GaugeSegment::indexFor(segments_, value_);
}

QString GaugeChartViewModel::segmentLabel() const {
    const int index = segmentIndex();
    return index < 0 ? QString() : localized(segments_[index].label);
}

QColor GaugeChartViewModel::segmentColor() const {
    const int index = segmentIndex();
    return index < 0 ? QColor() : segments_[index].color;
}

QVariantList GaugeChartViewModel::segmentsVariant() const {
    QVariantList out;
    for (const auto& segment : segments_) {
        out << QVariantMap{{QStringLiteral("lower"), segment.lower},
                           {QStringLiteral("upper"), segment.upper},
                           {QStringLiteral("color"), segment.color},
                           {QStringLiteral("label"), localized(segment.label)}};
    }
    return out;
}

void GaugeChartViewModel::setValue(double value) {
    const double clamped = std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 100.0);
    if (clamped != value_) {
        value_ = clamped;
        emit valueChanged();
    }
    moveNeedle();
}

void GaugeChartViewModel::setActive(bool active) {
    if (active != isActive_) {
        isActive_ = active;
        emit isActiveChanged();
    }
    moveNeedle();
}

void GaugeChartViewModel::moveNeedle() {
    if (!isActive_) {
        // Hidden: no animation runs, the needle simply stands at the value.
        animation_.stop();
        setDisplayValue(value_);
        lastAnimatedTargetValue_ = value_;
        return;
    }
    if (lastAnimatedTargetValue_ == value_) {
        return;
    }
    lastAnimatedTargetValue_ = value_;
    if (displayValue_ == value_ && !isAnimating()) {
        return;
    }
    // A newer target replaces the running animation, which then starts from where it stood.
    animation_.stop();
    ++animationCount_;
    animation_.setStartValue(displayValue_);
    animation_.setEndValue(value_);
    animation_.start();
}

void GaugeChartViewModel::setDisplayValue(double value) {
    if (value != displayValue_) {
        displayValue_ = value;
        emit displayValueChanged();
    }
}

}  // namespace corvanta::ui
