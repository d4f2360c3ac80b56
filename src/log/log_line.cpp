#include "log/log_line.h"

#include <QStringDecoder>

namespace corvanta::log {

QString logTimestamp(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
}

bool isUnsafeInLogLine(QChar c) {
    // Every unsafe character lies in the Basic Multilingual Plane, so checking UTF-16 units
    // checks every scalar (surrogates are none of them).
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t') || (u >= 0x7f && u <= 0x9f) || u == 0x061c || u == 0x200e ||
           u == 0x200f || u == 0x2028 || u == 0x2029 || (u >= 0x202a && u <= 0x202e) ||
           (u >= 0x2066 && u <= 0x2069);
}

QString scrubbedLogText(QString text) {
    for (QChar& c : text) {
        if (isUnsafeInLogLine(c)) {
            c = QLatin1Char(' ');
        }
    }
    return text;
}

QString buildLogLine(const QString& timestamp, const QString& category, const QString& message) {
    QString line;
    line.reserve(timestamp.size() + category.size() + message.size() + 5);
    line += QLatin1Char('[');
    line += timestamp;
    line += QLatin1String("] [");
    line += category;
    line += QLatin1String("] ");
    line += message;
    return scrubbedLogText(std::move(line));
}

std::optional<QString> decodeReloadableLogLine(std::string_view utf8) {
    if (utf8.empty()) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder.decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
    if (decoder.hasError()) {
        return std::nullopt;
    }
    for (const QChar c : text) {
        if (c == QChar::ReplacementCharacter || isUnsafeInLogLine(c)) {
            return std::nullopt;
        }
    }
    if (text.trimmed().isEmpty()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace corvanta::log
