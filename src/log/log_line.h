#pragma once

#include <optional>
#include <string_view>

#include <QDateTime>
#include <QString>

namespace corvanta::log {

// The time stamp of a run-log line: ISO 8601 in UTC with whole seconds and a trailing "Z".
QString logTimestamp(const QDateTime& time);

// "[" + timestamp + "] [" + category + "] " + message, with every character below U+0020 other
// than the tab turned into a space so that a line never breaks.
QString buildLogLine(const QString& timestamp, const QString& category, const QString& message);

// A line read back from a log database, if it may be shown again: valid UTF-8, not blank, and
// free of U+FFFD and of control characters other than the tab. A written line never holds those,
// so such a row was damaged or written by something else.
std::optional<QString> decodeReloadableLogLine(std::string_view utf8);

}  // namespace corvanta::log
