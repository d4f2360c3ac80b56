#pragma once

#include <QMetaType>
#include <QString>
#include <QUrl>
#include <optional>

#include "backend/content_records.h"

namespace corvanta::backend {

// An update the backend offers; whether one exists is the backend's decision.
struct AppVersionUpdate {
    Q_GADGET
    Q_PROPERTY(bool enforce MEMBER enforce)
    Q_PROPERTY(QString version MEMBER version)
    Q_PROPERTY(QString newVersion MEMBER newVersion)
    Q_PROPERTY(QUrl downloadURL READ downloadURLOrEmpty)
    Q_PROPERTY(QString packageSize MEMBER packageSize)
    Q_PROPERTY(QString upgradeText MEMBER upgradeText)

public:
    bool enforce = false;
    QString version;
    QString newVersion;
    std::optional<QUrl> downloadURL;  // absent unless the text is an https URL
    QString packageSize;
    QString upgradeText;

    static AppVersionUpdate from(const VersionUpdateDTO& dto);
    QUrl downloadURLOrEmpty() const { return downloadURL.value_or(QUrl()); }

    bool operator==(const AppVersionUpdate&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::AppVersionUpdate)
