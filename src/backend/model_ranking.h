#pragma once

#include <QMetaType>
#include <QString>

#include "backend/content_records.h"

namespace corvanta::backend {

// One row of the model ranking table, as text.
struct ModelRanking {
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString contextWindow MEMBER contextWindow)
    Q_PROPERTY(QString creator MEMBER creator)
    Q_PROPERTY(QString iconSrc MEMBER iconSrc)
    Q_PROPERTY(QString intelligence MEMBER intelligence)
    Q_PROPERTY(QString price MEMBER price)
    Q_PROPERTY(QString speed MEMBER speed)
    Q_PROPERTY(QString latency MEMBER latency)
    Q_PROPERTY(QString responseTime MEMBER responseTime)
    Q_PROPERTY(QString identity READ identity)

public:
    QString name;
    QString contextWindow;
    QString creator;
    QString iconSrc;
    QString intelligence;
    QString price;
    QString speed;
    QString latency;
    QString responseTime;

    static ModelRanking from(const ModelRankingDTO& dto);
    QString identity() const { return creator + QStringLiteral("::") + name; }

    bool operator==(const ModelRanking&) const = default;
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::ModelRanking)
