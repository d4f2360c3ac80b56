#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <optional>

#include "backend/model_ranking.h"

namespace corvanta::backend {

// A ranked model with its figures parsed into numbers.
struct AIModel {
    Q_GADGET
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QString contextWindow MEMBER contextWindow)
    Q_PROPERTY(QString creator MEMBER creator)
    Q_PROPERTY(QString iconSrc MEMBER iconSrc)
    Q_PROPERTY(qint64 intelligenceScore MEMBER intelligenceScore)
    Q_PROPERTY(double pricePerMillionTokens MEMBER pricePerMillionTokens)
    Q_PROPERTY(QVariant speedTokensPerSecond READ speedVariant)
    Q_PROPERTY(QVariant latencyMilliseconds READ latencyVariant)
    Q_PROPERTY(QVariant responseTimeMilliseconds READ responseTimeVariant)
    Q_PROPERTY(QString identity READ identity)

public:
    QString name;
    QString contextWindow;
    QString creator;
    QString iconSrc;
    qint64 intelligenceScore = 0;
    double pricePerMillionTokens = 0;
    std::optional<double> speedTokensPerSecond;
    std::optional<double> latencyMilliseconds;
    std::optional<double> responseTimeMilliseconds;
    std::optional<QString> providerURL;

    // Nothing for a ranking without a name. Unparseable figures become 0 (score, price) or
    // absent (speed, latency, response time).
    static std::optional<AIModel> from(const ModelRanking& ranking);
    QString identity() const { return creator + QStringLiteral("::") + name; }

    bool operator==(const AIModel&) const = default;

private:
    static QVariant toVariant(const std::optional<double>& value) {
        return value ? QVariant(*value) : QVariant();
    }
    QVariant speedVariant() const { return toVariant(speedTokensPerSecond); }
    QVariant latencyVariant() const { return toVariant(latencyMilliseconds); }
    QVariant responseTimeVariant() const { return toVariant(responseTimeMilliseconds); }
};

}  // namespace corvanta::backend

Q_DECLARE_METATYPE(corvanta::backend::AIModel)
