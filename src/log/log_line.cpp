#include "log/log_line.h"

#include <QStringDecoder>

namespace corvanta::log {

QString logTimestamp(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss'Z'"));
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
    // Surrogates lie far above U+0020, so checking UTF-16 units checks every scalar.
    for (QChar& c : line) {
        if (c.unicode() < 0x20 && c.unicode() != u'\t') {
            c = QLatin1Char(' ');
        }
    }
    return line;
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
        if (c == QChar::ReplacementCharacter || (c.unicode() < 0x20 && c.unicode() != u'\t')) {
            return std::nullopt;
        }
    }
    if (text.trimmed().isEmpty()) {
        return std::nullopt;
    }
    return text;
}

}  // namespace corvanta::log
