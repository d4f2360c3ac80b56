#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>

namespace corvanta::backend {

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

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::Announcement)
