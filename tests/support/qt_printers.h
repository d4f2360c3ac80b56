#pragma once

// Readable gtest output for Qt values.
#include <QString>

#include <ostream>

inline void PrintTo(const QString& value, std::ostream* out) {
    *out << '"' << value.toStdString() << '"';
}
