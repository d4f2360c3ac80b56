#pragma once

#include <QStringView>
#include <optional>

namespace corvanta::backend {

// Base-10 signed 64-bit integer, the whole text: optional "+" or "-", then digits only.
std::optional<qint64> parseDecimalInteger(QStringView text);

// A decimal floating-point number, the whole text: optional sign, digits with an optional
// fraction after a point, optional exponent. No spaces, units, grouping, "inf" or "nan".
std::optional<double> parseDecimalDouble(QStringView text);

}  // namespace corvanta::backend
