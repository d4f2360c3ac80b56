#include "ui/rich_text_sanitizer.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace corvanta::ui {
namespace {

bool isKeptElement(const QString& name) {
    static const QStringList kept{
        QStringLiteral("p"),  QStringLiteral("div"),    QStringLiteral("br"), QStringLiteral("h1"),
        QStringLiteral("h2"), QStringLiteral("h3"),     QStringLiteral("h4"), QStringLiteral("h5"),
        QStringLiteral("h6"), QStringLiteral("ul"),     QStringLiteral("ol"), QStringLiteral("li"),
        QStringLiteral("b"),  QStringLiteral("strong"), QStringLiteral("i"),  QStringLiteral("em"),
        QStringLiteral("u"),  QStringLiteral("a")};
    return kept.contains(name);
}

// Elements whose content is code, styling or widgets rather than text to read.
bool dropsContent(const QString& name) {
    static const QStringList dropped{
        QStringLiteral("script"),  QStringLiteral("style"),    QStringLiteral("head"),
        QStringLiteral("title"),   QStringLiteral("template"), QStringLiteral("textarea"),
        QStringLiteral("iframe"),  QStringLiteral("object"),   QStringLiteral("embed"),
        QStringLiteral("svg"),     QStringLiteral("math"),     QStringLiteral("noscript"),
        QStringLiteral("select"),  QStringLiteral("canvas"),   QStringLiteral("video"),
        QStringLiteral("audio"),   QStringLiteral("applet"),   QStringLiteral("frameset"),
        QStringLiteral("noembed"), QStringLiteral("noframes"), QStringLiteral("xmp")};
    return dropped.contains(name);
}

// Character references are kept as written: the rich-text engine shows them as characters.
bool isCharacterReference(QStringView text) {
    static const QRegularExpression reference(
        QStringLiteral("^&(?:[A-Za-z][A-Za-z0-9]{0,31}|#[0-9]{1,7}|#[xX][0-9A-Fa-f]{1,6});"));
    return reference.match(text.left(40).toString()).hasMatch();
}

QString decodeAttribute(QString value) {
    static const QRegularExpression numeric(QStringLiteral("&#([xX]?)([0-9A-Fa-f]{1,6});"));
    QString out;
    qsizetype last = 0;
    auto matches = numeric.globalMatch(value);
    while (matches.hasNext()) {
        const auto match = matches.next();
        out += QStringView(value).mid(last, match.capturedStart() - last);
        bool ok = false;
        const uint code = match.captured(2).toUInt(&ok, match.captured(1).isEmpty() ? 10 : 16);
        if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            out += QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
        }
        last = match.capturedEnd();
    }
    out += QStringView(value).mid(last);
    out.replace(QLatin1String("&quot;"), QLatin1String("\""))
        .replace(QLatin1String("&apos;"), QLatin1String("'"))
        .replace(QLatin1String("&lt;"), QLatin1String("<"))
        .replace(QLatin1String("&gt;"), QLatin1String(">"))
        .replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

struct Tag {
    QString name;  // lower case
    bool closing = false;
    bool selfClosing = false;
    QString href;
    qsizetype end = 0;  // index after the closing '>'
};

bool isNameStart(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

bool isNameChar(QChar c) {
    return isNameStart(c) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           c == QLatin1Char('-') || c == QLatin1Char(':');
}

// The tag starting at `at` (a '<'), or nothing when the '<' starts no tag.
std::optional<Tag> readTag(const QString& html, qsizetype at) {
    Tag tag;
    qsizetype i = at + 1;
    if (i < html.size() && html[i] == QLatin1Char('/')) {
        tag.closing = true;
        ++i;
    }
    if (i >= html.size() || !isNameStart(html[i])) {
        return std::nullopt;
    }
    const qsizetype nameStart = i;
    while (i < html.size() && isNameChar(html[i])) {
        ++i;
    }
    tag.name = html.mid(nameStart, i - nameStart).toLower();
    // Attributes up to the closing '>', quotes respected.
    while (i < html.size() && html[i] != QLatin1Char('>')) {
        if (html[i].isSpace() || html[i] == QLatin1Char('/')) {
            tag.selfClosing = html[i] == QLatin1Char('/');
            ++i;
            continue;
        }
        const qsizetype attributeStart = i;
        while (i < html.size() && !html[i].isSpace() && html[i] != QLatin1Char('=') &&
               html[i] != QLatin1Char('>') && html[i] != QLatin1Char('/')) {
            ++i;
        }
        const QString attribute = html.mid(attributeStart, i - attributeStart).toLower();
        while (i < html.size() && html[i].isSpace()) {
            ++i;
        }
        QString value;
        if (i < html.size() && html[i] == QLatin1Char('=')) {
            ++i;
            while (i < html.size() && html[i].isSpace()) {
                ++i;
            }
            if (i < html.size() && (html[i] == QLatin1Char('"') || html[i] == QLatin1Char('\''))) {
                const QChar quote = html[i];
                const qsizetype close = html.indexOf(quote, i + 1);
                if (close < 0) {
                    return Tag{tag.name, tag.closing, false, {}, html.size()};  // runs to the end
                }
                value = html.mid(i + 1, close - i - 1);
                i = close + 1;
            } else {
                const qsizetype valueStart = i;
                while (i < html.size() && !html[i].isSpace() && html[i] != QLatin1Char('>')) {
                    ++i;
                }
                value = html.mid(valueStart, i - valueStart);
            }
        }
        if (attribute == QLatin1String("href")) {
            tag.href = decodeAttribute(value).trimmed();
        }
        tag.selfClosing = false;
    }
    tag.end = i < html.size() ? i + 1 : html.size();
    return tag;
}

// Where the markup declaration or comment starting at `at` ends (index after it).
qsizetype declarationEnd(const QString& html, qsizetype at) {
    QLatin1String terminator(">");
    if (QStringView(html).mid(at).startsWith(QLatin1String("<!--"))) {
        terminator = QLatin1String("-->");
    } else if (QStringView(html).mid(at).startsWith(QLatin1String("<![CDATA["))) {
        terminator = QLatin1String("]]>");
    }
    const qsizetype end = html.indexOf(terminator, at + 2);
    return end < 0 ? html.size() : end + terminator.size();
}

}  // namespace

QString sanitizeRichText(const QString& html) {
    QString out;
    out.reserve(html.size());
    QStringList open;  // kept elements not yet closed, innermost last
    QString skipping;  // the element whose content is being dropped
    int skipDepth = 0;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == QLatin1Char('<')) {
            const QChar next = i + 1 < html.size() ? html[i + 1] : QChar();
            if (next == QLatin1Char('!') || next == QLatin1Char('?')) {
                i = declarationEnd(html, i);
                continue;
            }
            if (const auto tag = readTag(html, i)) {
                i = tag->end;
                if (skipDepth > 0) {
                    if (tag->name == skipping && !tag->selfClosing) {
                        skipDepth += tag->closing ? -1 : 1;
                    }
                    continue;
                }
                if (!tag->closing && dropsContent(tag->name)) {
                    if (!tag->selfClosing) {
                        skipping = tag->name;
                        skipDepth = 1;
                    }
                    continue;
                }
                if (!isKeptElement(tag->name)) {
                    continue;
                }
                if (tag->name == QLatin1String("br")) {
                    if (!tag->closing) {
                        out += QLatin1String("<br>");
                    }
                    continue;
                }
                if (tag->closing) {
                    const qsizetype at = open.lastIndexOf(tag->name);
                    while (at >= 0 && open.size() > at) {
                        out += QLatin1String("</") + open.takeLast() + QLatin1Char('>');
                    }
                    continue;
                }
                if (tag->selfClosing) {
                    continue;  // an empty element shows nothing
                }
                if (tag->name == QLatin1String("a") && !tag->href.isEmpty()) {
                    out += QLatin1String("<a href=\"") + tag->href.toHtmlEscaped() +
                           QLatin1String("\">");
                } else {
                    out += QLatin1Char('<') + tag->name + QLatin1Char('>');
                }
                open << tag->name;
                continue;
            }
            if (skipDepth == 0) {
                out += QLatin1String("&lt;");
            }
            ++i;
            continue;
        }
        if (skipDepth > 0) {
            ++i;
            continue;
        }
        if (c == QLatin1Char('&')) {
            out += isCharacterReference(QStringView(html).mid(i)) ? QStringLiteral("&")
                                                                  : QStringLiteral("&amp;");
        } else if (c == QLatin1Char('>')) {
            out += QLatin1String("&gt;");
        } else {
            out += c;
        }
        ++i;
    }
    while (!open.isEmpty()) {
        out += QLatin1String("</") + open.takeLast() + QLatin1Char('>');
    }
    return out;
}

}  // namespace corvanta::ui
