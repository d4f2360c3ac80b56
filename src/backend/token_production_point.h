#pragma once

#include <QMetaType>
#include <QString>
#include <QUuid>

namespace corvanta::backend {

// One point of the dashboard's contribution chart.
struct TokenProductionPoint {
    Q_GADGET
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(double value MEMBER value)
    Q_PROPERTY(QString dateLabel READ dateLabel)
    Q_PROPERTY(QString valueLabel READ valueLabel)

public:
    QUuid id = QUuid::createUuid();
    QString date;  // year-month-day
    double value = 0;

    // "2025-03-07" -> "3-7"; any other text is shown as it is.
    QString dateLabel() const;
    // Two decimals at most, trailing zeros dropped: 12.0 -> "12", 2.499 -> "2.5"; "--" when not
    // finite.
    QString valueLabel() const;

    bool operator==(const TokenProductionPoint&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::TokenProductionPoint)
