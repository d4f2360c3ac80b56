#pragma once

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QVariant>
#include <optional>
#include <stop_token>

#include "async/loading_flag.h"
#include "backend/content_records.h"
#include "backend/display_records.h"

namespace corvanta::backend {

class ApiClient;

// The dashboard's data: token scarcity, the latest notice, recent contribution, the model
// ranking, the notice list; and the version check. A failed fetch leaves what was published.
// Main thread only.
class IndexRepository : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 tokenScarcity READ tokenScarcity NOTIFY tokenScarcityChanged)
    Q_PROPERTY(QVariant notice READ noticeVariant NOTIFY noticeChanged)
    Q_PROPERTY(QVariantList recentSignIns READ recentSignInsVariant NOTIFY recentSignInsChanged)
    Q_PROPERTY(QVariantList modelTops READ modelTopsVariant NOTIFY modelTopsChanged)
    Q_PROPERTY(QVariantList notices READ noticesVariant NOTIFY noticesChanged)
    Q_PROPERTY(QVariantList models READ modelsVariant NOTIFY modelsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)

public:
    explicit IndexRepository(ApiClient& client, QObject* parent = nullptr);

    qint64 tokenScarcity() const { return tokenScarcity_; }
    const std::optional<Notice>& notice() const { return notice_; }
    const QList<SignInRecord>& recentSignIns() const { return recentSignIns_; }
    // Every ranking row as received; models() only those that name a model.
    const QList<ModelRanking>& modelTops() const { return modelTops_; }
    const QList<Notice>& notices() const { return notices_; }
    const QList<ModelRanking>& models() const { return models_; }
    bool isLoading() const { return loading_.isLoading(); }

    QCoro::Task<> fetchIndex(std::stop_token stop = {});
    QCoro::Task<> fetchRecent(std::stop_token stop = {});
    QCoro::Task<> fetchNotices(std::stop_token stop = {});
    // The update the backend offers for `currentVersion`, if any. Publishes nothing.
    QCoro::Task<std::optional<AppVersionUpdate>> checkVersion(QString currentVersion,
                                                              std::stop_token stop = {});

signals:
    void tokenScarcityChanged();
    void noticeChanged();
    void recentSignInsChanged();
    void modelTopsChanged();
    void noticesChanged();
    void modelsChanged();
    void isLoadingChanged();

private:
    QVariant noticeVariant() const;
    QVariantList recentSignInsVariant() const;
    QVariantList modelTopsVariant() const;
    QVariantList noticesVariant() const;
    QVariantList modelsVariant() const;

    ApiClient& client_;
    qint64 tokenScarcity_ = 0;
    std::optional<Notice> notice_;
    QList<SignInRecord> recentSignIns_;
    QList<ModelRanking> modelTops_;
    QList<Notice> notices_;
    QList<ModelRanking> models_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::backend
