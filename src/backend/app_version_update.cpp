#include "backend/app_version_update.h"

#include "platform/system_log.h"

namespace corvanta::backend {

AppVersionUpdate AppVersionUpdate::from(const VersionUpdateDTO& dto) {
    AppVersionUpdate update;
    update.enforce = dto.enforce != 0;
    update.version = dto.version;
    update.newVersion = dto.newVersion;
    update.packageSize = dto.packageSize;
    update.upgradeText = dto.upgradeText;
    // The address is handed to the browser, which would also fetch plain http, reach a file
    // share or run a custom handler: only an https address with a host is offered.
    const QUrl url(dto.downloadURL, QUrl::StrictMode);
    if (url.isValid() && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        !url.host().isEmpty()) {
        update.downloadURL = url;
    } else if (!dto.downloadURL.trimmed().isEmpty()) {
        qCWarning(platform::dashboardLog).noquote()
            << "update" << dto.newVersion << "offered without a download button: its address"
            << (url.isValid() && !url.scheme().isEmpty()
                    ? QStringLiteral("uses the scheme \"%1\"; only https is opened")
                          .arg(url.scheme())
                    : QStringLiteral("is not an https URL"));
    }
    return update;
}

}  // namespace corvanta::backend
