#pragma once

#include <QString>

namespace corvanta::ui {

// Registers the heading font compiled into the program ("crv-font.ttf") and returns its family,
// or an empty string when it cannot be used (the pages then fall back to the system font).
// Writes one of three outcomes to the system log.
QString registerHeadingFont(const QString& resourcePath = QStringLiteral(":/fonts/crv-font.ttf"));

}  // namespace corvanta::ui
