#include "ui/heading_font.h"

#include <QFile>
#include <QFontDatabase>

#include "platform/system_log.h"

namespace corvanta::ui {

QString registerHeadingFont(const QString& resourcePath) {
    if (!QFile::exists(resourcePath)) {
        qCWarning(platform::resourcesLog).noquote()
            << "crv-font.ttf not found in bundle. Add the font to Copy Bundle Resources";
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
