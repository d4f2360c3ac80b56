#include "backend/app_version_update.h"

namespace corvanta::backend {

AppVersionUpdate AppVersionUpdate::from(const VersionUpdateDTO& dto) {
    AppVersionUpdate update;
    update.enforce = dto.enforce != 0;
    update.version = dto.version;
    update.newVersion = dto.newVersion;
    update.packageSize = dto.packageSize;
    update.upgradeText = dto.upgradeText;
    // Only an absolute address with a scheme and host can be opened in a browser.
    const QUrl url(dto.downloadURL, QUrl::StrictMode);
    if (url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty()) {
        update.downloadURL = url;
    }
    return update;
}

}  // namespace corvanta::backend
