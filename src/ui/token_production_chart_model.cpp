#include "ui/token_production_chart_model.h"

#include <QStringList>
#include <QVariantMap>
#include <algorithm>
#include <cmath>

namespace corvanta::ui {

using backend::SignInRecord;
using backend::TokenProductionPoint;

namespace {

double scaleFor(const QList<double>& values) {
    double largest = 0;
    for (double value : values) {
        if (std::isfinite(value)) {
            largest = std::max(largest, value);
        }
    }
    // An all-zero week still gets a plot with a baseline instead of a division by zero.
    return largest > 0 ? largest : 1;
}

}  // namespace

TokenProductionChartModel::TokenProductionChartModel(QObject* parent,
                                                     std::chrono::milliseconds animationDuration)
    : QObject(parent) {
    plotAnimation_.setDuration(int(animationDuration.count()));
    plotAnimation_.setEasingCurve(QEasingCurve::OutCubic);
    plotAnimation_.setStartValue(0.0);
    plotAnimation_.setEndValue(1.0);
    connect(&plotAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& progress) { applyPlot(progress.toDouble()); });
    connect(&plotAnimation_, &QAbstractAnimation::stateChanged, this,
            [this] { emit isAnimatingChanged(); });
    contributionAnimation_.setDuration(int(animationDuration.count()));
    contributionAnimation_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&contributionAnimation_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setDisplayedContribution(value.toDouble()); });
    connect(&contributionAnimation_, &QAbstractAnimation::stateChanged, this,
            [this] { emit isAnimatingChanged(); });
}

QList<TokenProductionPoint> TokenProductionChartModel::pointsFrom(
    const QList<SignInRecord>& records) {
    QList<TokenProductionPoint> points;
    points.reserve(records.size());
    for (const auto& record : records) {
        TokenProductionPoint point;
        point.date = record.date;
        point.value = double(record.award);
        points << point;
    }
    return points;
}

QString TokenProductionChartModel::signatureOf(const QList<TokenProductionPoint>& points) {
    if (points.isEmpty()) {
        return QStringLiteral("empty");
    }
    QStringList parts;
    parts.reserve(points.size());
    for (const auto& point : points) {
        parts << point.date + QLatin1Char(':') + point.valueLabel();
    }
    return parts.join(QLatin1Char('|'));
}

QString TokenProductionChartModel::displayedContributionText() const {
    return QString::number(std::llround(displayedContribution_));
}

bool TokenProductionChartModel::isAnimating() const {
    return plotAnimation_.state() == QAbstractAnimation::Running ||
           contributionAnimation_.state() == QAbstractAnimation::Running;
}

void TokenProductionChartModel::setRecords(const QList<SignInRecord>& records) {
    QList<TokenProductionPoint> points = pointsFrom(records);
    const QString signature = signatureOf(points);
    if (signature == signature_) {
        // The same figures again (a reload): the curve and the total stay as they are.
        return;
    }
    signature_ = signature;
    points_ = std::move(points);
    contributionTotal_ = 0;
    for (const auto& record : records) {
        contributionTotal_ += record.award;
    }
    // A highlighted point that is gone takes its highlight with it.
    if (hoveredIndex_ >= points_.size() || selectedIndex_ >= points_.size()) {
        hoveredIndex_ = hoveredIndex_ >= points_.size() ? -1 : hoveredIndex_;
        selectedIndex_ = selectedIndex_ >= points_.size() ? -1 : selectedIndex_;
        emit highlightChanged();
    }
    emit pointsChanged();

    // The new curve grows out of the one on screen; points that were not there start at zero.
    startValues_.clear();
    targetValues_.clear();
    for (int i = 0; i < points_.size(); ++i) {
        startValues_ << (i < plotValues_.size() ? plotValues_[i] : 0.0);
        targetValues_ << points_[i].value;
    }
    startMax_ = plotMax_;
    targetMax_ = scaleFor(targetValues_);
    if (isActive_ && signature_ != lastAnimatedSignature_) {
        lastAnimatedSignature_ = signature_;
        plotAnimation_.stop();
        ++plotAnimationCount_;
        applyPlot(0);
        plotAnimation_.start();
    } else if (!isActive_) {
        settle();
    }
    countContribution();
}

void TokenProductionChartModel::setActive(bool active) {
    if (active == isActive_) {
        return;
    }
    isActive_ = active;
    emit isActiveChanged();
    if (!active) {
        plotAnimation_.stop();
        settle();
        countContribution();
    }
}

void TokenProductionChartModel::settle() {
    lastAnimatedSignature_ = signature_;
    applyPlot(1);
}

void TokenProductionChartModel::applyPlot(double progress) {
    plotValues_.resize(targetValues_.size());
    for (int i = 0; i < targetValues_.size(); ++i) {
        plotValues_[i] = startValues_[i] + (targetValues_[i] - startValues_[i]) * progress;
    }
    plotMax_ = startMax_ + (targetMax_ - startMax_) * progress;
    emit plotChanged();
}

void TokenProductionChartModel::countContribution() {
    if (!isActive_) {
        contributionAnimation_.stop();
        lastContributionTarget_ = contributionTotal_;
        setDisplayedContribution(double(contributionTotal_));
        return;
    }
    if (contributionTotal_ == lastContributionTarget_) {
        return;
    }
    lastContributionTarget_ = contributionTotal_;
    contributionAnimation_.stop();
    contributionAnimation_.setStartValue(displayedContribution_);
    contributionAnimation_.setEndValue(double(contributionTotal_));
    contributionAnimation_.start();
}

void TokenProductionChartModel::setDisplayedContribution(double value) {
    if (value != displayedContribution_) {
        displayedContribution_ = value;
        emit displayedContributionChanged();
    }
}

void TokenProductionChartModel::setHoveredIndex(int index) {
    const int valid = index >= 0 && index < points_.size() ? index : -1;
    if (valid != hoveredIndex_) {
        hoveredIndex_ = valid;
        emit highlightChanged();
    }
}

void TokenProductionChartModel::setSelectedIndex(int index) {
    const int valid = index >= 0 && index < points_.size() ? index : -1;
    if (valid != selectedIndex_) {
        selectedIndex_ = valid;
        emit highlightChanged();
    }
}

void TokenProductionChartModel::toggleSelection(int index) {
    setSelectedIndex(index == selectedIndex_ ? -1 : index);
}

QVariantList TokenProductionChartModel::pointsVariant() const {
    QVariantList out;
    out.reserve(points_.size());
    for (const auto& point : points_) {
        out << QVariantMap{{QStringLiteral("date"), point.date},
                           {QStringLiteral("value"), point.value},
                           {QStringLiteral("dateLabel"), point.dateLabel()},
                           {QStringLiteral("valueLabel"), point.valueLabel()}};
    }
    return out;
}

QVariantList TokenProductionChartModel::plotValuesVariant() const {
    QVariantList out;
    out.reserve(plotValues_.size());
    for (double value : plotValues_) {
        out << value;
    }
    return out;
}

}  // namespace corvanta::ui
