#pragma once

#include <QObject>
#include <QString>
#include <QVariantAnimation>
#include <QVariantList>

#include <chrono>
#include <optional>

#include "ui/gauge_segment.h"

namespace corvanta::ui {

// The needle of a segmented gauge. It moves to a new value with an animation only while the page
// is active and only when the target differs from the last one it animated to; otherwise it is
// set at once. Main thread only.
class GaugeChartViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(double value READ value NOTIFY valueChanged)
    Q_PROPERTY(double displayValue READ displayValue NOTIFY displayValueChanged)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QVariantList segments READ segmentsVariant CONSTANT)
    Q_PROPERTY(bool isActive READ isActive NOTIFY isActiveChanged)
    Q_PROPERTY(bool isAnimating READ isAnimating NOTIFY isAnimatingChanged)
    // The band the target value falls in, its colour and its label.
    Q_PROPERTY(int segmentIndex READ segmentIndex NOTIFY valueChanged)
    Q_PROPERTY(QString segmentLabel READ segmentLabel NOTIFY valueChanged)
    Q_PROPERTY(QColor segmentColor READ segmentColor NOTIFY valueChanged)

public:
    static constexpr std::chrono::milliseconds kAnimationDuration{900};

    GaugeChartViewModel(QString titleKey, QList<GaugeSegment> segments, QObject* parent = nullptr,
                        std::chrono::milliseconds animationDuration = kAnimationDuration);

    double value() const { return value_; }
    double displayValue() const { return displayValue_; }
    QString title() const;
    const QList<GaugeSegment>& segments() const { return segments_; }
    bool isActive() const { return isActive_; }
    bool isAnimating() const;
    std::optional<double> lastAnimatedTargetValue() const { return lastAnimatedTargetValue_; }
    int segmentIndex() const;
    QString segmentLabel() const;
    QColor segmentColor() const;
    // How many needle animations were started; a repeated target starts none.
    int animationCount() const { return animationCount_; }

    // Clamped to the 0–100 scale; NaN is taken as 0.
    void setValue(double value);
    void setActive(bool active);

signals:
    void valueChanged();
    void displayValueChanged();
    void isActiveChanged();
    void isAnimatingChanged();

private:
    QVariantList segmentsVariant() const;
    void moveNeedle();
    void setDisplayValue(double value);

    QString titleKey_;
    QList<GaugeSegment> segments_;
    double value_ = 0;
    double displayValue_ = 0;
    bool isActive_ = false;
    std::optional<double> lastAnimatedTargetValue_;
    int animationCount_ = 0;
    QVariantAnimation animation_;
};

}  // namespace corvanta::ui
