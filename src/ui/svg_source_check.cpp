#include "ui/svg_source_check.h"

#include <QRegularExpression>
#include <QStringView>
#include <QXmlStreamReader>

namespace corvanta::ui {
namespace {

bool isInlineReference(QStringView target) {
    target = target.trimmed();
    if (target.startsWith(QLatin1Char('"')) || target.startsWith(QLatin1Char('\''))) {
        target = target.mid(1);
    }
    return target.startsWith(QLatin1Char('#')) ||
           target.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

// CSS text (a style attribute, a style element, a paint such as fill="url(#g)"): every url()
// must stay inside the document, and nothing is imported.
bool isSelfContainedCss(const QString& css) {
    if (css.contains(QLatin1String("@import"), Qt::CaseInsensitive)) {
        return false;
    }
    static const QRegularExpression url(QStringLiteral("url\\s*\\("),
                                        QRegularExpression::CaseInsensitiveOption);
    auto matches = url.globalMatch(css);
    while (matches.hasNext()) {
        const auto match = matches.next();
        if (!isInlineReference(QStringView(css).mid(match.capturedEnd()))) {
            return false;
        }
    }
    return true;
}

bool isSelfContainedElement(QXmlStreamReader& xml) {
    for (const QXmlStreamAttribute& attribute : xml.attributes()) {
        const QStringView name = attribute.name();
        const QString value = attribute.value().toString();
        if (name == QLatin1String("href") || name == QLatin1String("src")) {
            if (!isInlineReference(value)) {
                return false;
            }
        } else if (!isSelfContainedCss(value)) {
            return false;
        }
    }
    if (xml.name() == QLatin1String("style")) {
        return isSelfContainedCss(xml.readElementText(QXmlStreamReader::IncludeChildElements));
    }
    return true;
}

}  // namespace

bool isSelfContainedSvg(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
            case QXmlStreamReader::DTD:
                for (const auto& entity : xml.entityDeclarations()) {
                    if (!entity.systemId().isEmpty() || !entity.publicId().isEmpty()) {
                        return false;
                    }
                }
                break;
            case QXmlStreamReader::EntityReference:
                return false;  // one the reader could not resolve from inside the document
            case QXmlStreamReader::ProcessingInstruction:
                if (xml.processingInstructionTarget() != QLatin1String("xml")) {
                    return false;  // xml-stylesheet and the like
                }
                break;
            case QXmlStreamReader::StartElement:
                if (!isSelfContainedElement(xml)) {
                    return false;
                }
                break;
            default:
                break;
        }
    }
    return !xml.hasError();
}

}  // namespace corvanta::ui
