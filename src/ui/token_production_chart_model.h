#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantAnimation>
#include <QVariantList>

#include <chrono>

#include "backend/display_records.h"

namespace corvanta::ui {

// The dashboard's contribution chart: one point per recent record in received order, the total,
// and the animated curve. The curve animates only when the data's signature changes and the total
// counts up only when it changes, and both only while the page is active. Main thread only.
class TokenProductionChartModel : public QObject {
    Q_OBJECT
    // Each point as {date, value, dateLabel, valueLabel}.
    Q_PROPERTY(QVariantList points READ pointsVariant NOTIFY pointsChanged)
    // The curve as drawn now: one value per point, and the value the plot's top stands for.
    Q_PROPERTY(QVariantList plotValues READ plotValuesVariant NOTIFY plotChanged)
    Q_PROPERTY(double plotMax READ plotMax NOTIFY plotChanged)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY pointsChanged)
    Q_PROPERTY(qint64 contributionTotal READ contributionTotal NOTIFY pointsChanged)
    Q_PROPERTY(
        double displayedContribution READ displayedContribution NOTIFY displayedContributionChanged)
    Q_PROPERTY(QString displayedContributionText READ displayedContributionText NOTIFY
                   displayedContributionChanged)
    Q_PROPERTY(int hoveredIndex READ hoveredIndex WRITE setHoveredIndex NOTIFY highlightChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex WRITE setSelectedIndex NOTIFY highlightChanged)
    Q_PROPERTY(bool isActive READ isActive NOTIFY isActiveChanged)
    Q_PROPERTY(bool isAnimating READ isAnimating NOTIFY isAnimatingChanged)

public:
    static constexpr std::chrono::milliseconds kAnimationDuration{800};

    explicit TokenProductionChartModel(
        QObject* parent = nullptr,
        std::chrono::milliseconds animationDuration = kAnimationDuration);

    // One point per record, in order, each with a new id.
    static QList<backend::TokenProductionPoint> pointsFrom(
        const QList<backend::SignInRecord>& records);
    // "date:value|date:value…" with the value written as its label; "empty" for no points.
    static QString signatureOf(const QList<backend::TokenProductionPoint>& points);

    const QList<backend::TokenProductionPoint>& points() const { return points_; }
    const QList<double>& plotValues() const { return plotValues_; }
    double plotMax() const { return plotMax_; }
    bool isEmpty() const { return points_.isEmpty(); }
    qint64 contributionTotal() const { return contributionTotal_; }
    double displayedContribution() const { return displayedContribution_; }
    QString displayedContributionText() const;
    const QString& lastAnimatedSignature() const { return lastAnimatedSignature_; }
    int hoveredIndex() const { return hoveredIndex_; }
    int selectedIndex() const { return selectedIndex_; }
    bool isActive() const { return isActive_; }
    bool isAnimating() const;
    // How many curve animations were started; data with an unchanged signature starts none.
    int plotAnimationCount() const { return plotAnimationCount_; }

    void setRecords(const QList<backend::SignInRecord>& records);
    void setActive(bool active);
    // -1 for none; out-of-range indices are taken as none.
    void setHoveredIndex(int index);
    void setSelectedIndex(int index);
    // Selects the point, or clears the selection when it is already selected.
    Q_INVOKABLE void toggleSelection(int index);

signals:
    void pointsChanged();
    void plotChanged();
    void displayedContributionChanged();
    void highlightChanged();
    void isActiveChanged();
    void isAnimatingChanged();

private:
    QVariantList pointsVariant() const;
    QVariantList plotValuesVariant() const;
    void applyPlot(double progress);
    void settle();
    void countContribution();
    void setDisplayedContribution(double value);

    QList<backend::TokenProductionPoint> points_;
    QString signature_ = QStringLiteral("empty");
    QString lastAnimatedSignature_ = QStringLiteral("empty");
    qint64 contributionTotal_ = 0;
    qint64 lastContributionTarget_ = 0;
    double displayedContribution_ = 0;
    // The curve animates from these values and scale to the target ones.
    QList<double> startValues_;
    QList<double> targetValues_;
    double startMax_ = 1;
    double targetMax_ = 1;
    QList<double> plotValues_;
    double plotMax_ = 1;
    int hoveredIndex_ = -1;
    int selectedIndex_ = -1;
    bool isActive_ = false;
    int plotAnimationCount_ = 0;
    QVariantAnimation plotAnimation_;
    QVariantAnimation contributionAnimation_;
};

}  // namespace corvanta::ui
