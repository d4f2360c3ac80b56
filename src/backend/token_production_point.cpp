#include "backend/token_production_point.h"

#include <QStringList>
#include <cmath>

#include "backend/number_parsing.h"

namespace corvanta::backend {

QString TokenProductionPoint::dateLabel() const {
    const QStringList pieces = date.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (pieces.size() != 3) {
        return date;
    }
    const auto month = parseDecimalInteger(pieces[1]);
    const auto day = parseDecimalInteger(pieces[2]);
    if (!month || !day) {
        return date;
    }
    return QString::number(*month) + QLatin1Char('-') + QString::number(*day);
}

QString TokenProductionPoint::valueLabel() const {
    if (!std::isfinite(value)) {
        return QStringLiteral("--");
    }
    // Halves away from zero; adding +0.0 turns a rounded -0 into 0.
    const double rounded = std::round(value * 100.0) / 100.0 + 0.0;
    if (!std::isfinite(rounded)) {
        return QString::number(value, 'f', 0);
    }
    if (std::trunc(rounded) == rounded) {
        return QString::number(rounded, 'f', 0);
    }
    QString text = QString::asprintf("%.2f", rounded);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

}  // namespace corvanta::backend
