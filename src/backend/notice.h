#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <optional>

#include "backend/content_records.h"

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

    static Notice from(const NoticeDTO& dto);
    QDateTime createtimeOrInvalid() const { return createtime.value_or(QDateTime()); }

    bool operator==(const Notice&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::Notice)
