#pragma once

#include <QString>

#include "update/app_version_source.h"

namespace corvanta::update {

// The version the program was built as (the CMake project version), or "1.1.0" when the build
// gave none.
class BundleAppVersionProvider : public AppVersionSource {
public:
    static constexpr const char* kFallbackVersion = "1.1.0";

    // The version compiled into this program.
    BundleAppVersionProvider();
    // A given build version instead of the compiled-in one.
    explicit BundleAppVersionProvider(QString buildVersion);

    QString currentVersion() const override;

private:
    QString buildVersion_;
};

}  // namespace corvanta::update
