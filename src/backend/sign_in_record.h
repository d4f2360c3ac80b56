#pragma once

#include <QMetaType>
#include <QString>

#include "backend/content_records.h"

namespace corvanta::backend {

// One day of the user's contribution, for the dashboard's chart.
struct SignInRecord {
    Q_GADGET
    Q_PROPERTY(QString date MEMBER date)
    Q_PROPERTY(qint64 award MEMBER award)

public:
    QString date;
    qint64 award = 0;

    static SignInRecord from(const SignInRecordDTO& dto) {
        return SignInRecord{dto.sDate, dto.award};
    }

    bool operator==(const SignInRecord&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::SignInRecord)
