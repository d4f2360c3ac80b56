#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <optional>

#include "backend/content_records.h"

// What the pages show of the backend's content: records made from the wire records of
// content_records.h (X::from), and the records the views build for themselves.

namespace corvanta::backend {

// An announcement as the dashboard shows it.
struct Notice {
    Q_GADGET
    Q_PROPERTY(qint64 id MEMBER id)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QString content MEMBER content)
    Q_PROPERTY(QDateTime createtime READ createtimeOrInvalid)

public:
    qint64 id = 0;
    QString title;
    QString content;
    std::optional<QDateTime> createtime;

    static Notice from(const WireNotice& dto);
    QDateTime createtimeOrInvalid() const { return createtime.value_or(QDateTime()); }

    bool operator==(const Notice&) const = default;
};

// One day of the user's contribution, for the dashboard's chart.
struct SignInRecord {
    Q_GADGET
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(qint64 award MEMBER award)

public:
    QString date;
    qint64 award = 0;

    static SignInRecord from(const WireSignInRecord& dto) {
        return SignInRecord{dto.sDate, dto.award};
    }

    bool operator==(const SignInRecord&) const = default;
};

// An update the backend offers; whether one exists is the backend's decision.
struct AppVersionUpdate {
    Q_GADGET
    Q_PROPERTY(bool enforce MEMBER enforce)
    Q_PROPERTY(QString version MEMBER version)
    Q_PROPERTY(QString newVersion MEMBER newVersion)
    Q_PROPERTY(QUrl downloadUrl READ downloadUrlOrEmpty)
    Q_PROPERTY(QString packageSize MEMBER packageSize)
    Q_PROPERTY(QString upgradeText MEMBER upgradeText)

public:
    bool enforce = false;
    QString version;
    QString newVersion;
    std::optional<QUrl> downloadUrl;  // absent unless the text is an https URL
    QString packageSize;
    QString upgradeText;

    static AppVersionUpdate from(const VersionUpdateResponse& dto);
    QUrl downloadUrlOrEmpty() const { return downloadUrl.value_or(QUrl()); }

    bool operator==(const AppVersionUpdate&) const = default;
};

// An announcement in the list of announcements; built from notices by the views.
struct Announcement {
    Q_GADGET
    Q_PROPERTY(qint64 id MEMBER id)
    Q_PROPERTY(QString title MEMBER title)
    Q_PROPERTY(QDateTime date MEMBER date)
    Q_PROPERTY(QString summary MEMBER summary)
    Q_PROPERTY(QString content MEMBER content)
    Q_PROPERTY(bool isRead MEMBER isRead)

public:
    qint64 id = 0;
    QString title;
    QDateTime date;
    QString summary;
    QString content;
    bool isRead = false;

    bool operator==(const Announcement&) const = default;
};

// One point of the dashboard's contribution chart.
struct TokenProductionPoint {
    Q_GADGET
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(double value MEMBER value)
    Q_PROPERTY(QString dateLabel READ dateLabel)
    Q_PROPERTY(QString valueLabel READ valueLabel)

public:
    QUuid id = QUuid::createUuid();
    QString date;  // year-month-day
    double value = 0;

    // "2025-03-07" -> "3-7"; any other text is shown as it is.
    QString dateLabel() const;
    // Two decimals at most, trailing zeros dropped: 12.0 -> "12", 2.499 -> "2.5"; "--" when not
    // finite.
    QString valueLabel() const;

    bool operator==(const TokenProductionPoint&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::Notice)
Q_DECLARE_METATYPE(corvanta::backend::SignInRecord)
Q_DECLARE_METATYPE(corvanta::backend::AppVersionUpdate)
Q_DECLARE_METATYPE(corvanta::backend::Announcement)
Q_DECLARE_METATYPE(corvanta::backend::TokenProductionPoint)
