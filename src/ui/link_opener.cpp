#include "ui/link_opener.h"

#include <QDesktopServices>

#include "platform/system_log.h"

namespace corvanta::ui {

bool LinkOpener::isOpenable(const QUrl& url) {
    return url.isValid() &&
           url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
           !url.host().isEmpty();
}

void LinkOpener::open(const QString& link) const {
    const QUrl url(link, QUrl::StrictMode);
    if (!isOpenable(url)) {
        // The scheme says enough; the rest of the address is the backend's text.
        qCWarning(platform::dashboardLog).noquote()
            << "link not opened: only https links open (scheme"
            << (url.scheme().isEmpty() ? QStringLiteral("none") : url.scheme()) + QLatin1Char(')');
        return;
    }
    QDesktopServices::openUrl(url);
}

}  // namespace corvanta::ui
