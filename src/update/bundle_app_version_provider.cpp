#include "update/bundle_app_version_provider.h"

#include <utility>

#ifndef CORVANTA_APP_VERSION
#define CORVANTA_APP_VERSION ""
#endif

namespace corvanta::update {

BundleAppVersionProvider::BundleAppVersionProvider()
    : buildVersion_(QStringLiteral(CORVANTA_APP_VERSION)) {}

BundleAppVersionProvider::BundleAppVersionProvider(QString buildVersion)
    : buildVersion_(std::move(buildVersion)) {}

QString BundleAppVersionProvider::currentVersion() const {
    if (buildVersion_.isEmpty()) {
        return QString::fromLatin1(kFallbackVersion);
    }
    return buildVersion_;
}

}  // namespace corvanta::update
