#include "ui/heading_font.h"

#include <QFile>
#include <QFontDatabase>

#include "platform/system_log.h"

namespace corvanta::ui {

QString registerHeadingFont(const QString& resourcePath) {
    if (!QFile::exists(resourcePath)) {
        // The font is compiled into the program as a Qt resource; only a build without the file
        // lacks it.
        qCWarning(platform::resourcesLog).noquote()
            << QStringLiteral(
                   "crv-font.ttf not found at %1: the build compiles it in from "
                   "resources/fonts/crv-font.ttf; headings use the system font")
                   .arg(resourcePath);
        return {};
    }
    const int id = QFontDatabase::addApplicationFont(resourcePath);
    const QStringList families =
        id >= 0 ? QFontDatabase::applicationFontFamilies(id) : QStringList();
    if (families.isEmpty()) {
        // Qt does not say why a font was refused.
        qCWarning(platform::resourcesLog).noquote() << "Font registration failed: unknown";
        return {};
    }
    qCInfo(platform::resourcesLog).noquote() << "crv-font registered";
    return families.first();
}

}  // namespace corvanta::ui
