#pragma once

#include <optional>
#include <string_view>

#include <QDateTime>
#include <QString>

namespace corvanta::log {

// The time stamp of a run-log line: ISO 8601 in UTC with whole seconds and a trailing "Z".
QString logTimestamp(const QDateTime& time);

// Whether a line may not carry the character: the C0 controls other than the tab, DEL, the C1
// controls, the line and paragraph separators (U+2028, U+2029), and the bidirectional marks,
// embeddings, overrides and isolates (U+061C, U+200E, U+200F, U+202A-U+202E, U+2066-U+2069). They
// would break the line, drive the terminal, or reorder what a reader sees.
bool isUnsafeInLogLine(QChar c);

// `text` with every unsafe character (isUnsafeInLogLine) turned into a space.
QString scrubbedLogText(QString text);

// "[" + timestamp + "] [" + category + "] " + message, scrubbed (scrubbedLogText) so that a line
// never breaks and shows what it says.
QString buildLogLine(const QString& timestamp, const QString& category, const QString& message);

// A line read back from a log database, if it may be shown again: valid UTF-8, not blank, and
// free of U+FFFD and of unsafe characters. A written line never holds those, so such a row was
// damaged or written by something else (or an older version).
std::optional<QString> decodeReloadableLogLine(std::string_view utf8);

}  // namespace corvanta::log
