#include "backend/index_repository.h"

#include <QPointer>

#include "backend/api_client.h"
#include "backend/content_records.h"
#include "backend/endpoints.h"

namespace corvanta::backend {
namespace {

template <class T>
QVariantList toVariantList(const QList<T>& items) {
    QVariantList out;
    out.reserve(items.size());
    for (const T& item : items) {
        out << QVariant::fromValue(item);
    }
    return out;
}

QList<SignInRecord> convert(const std::vector<WireSignInRecord>& records) {
    QList<SignInRecord> out;
    out.reserve(qsizetype(records.size()));
    for (const auto& record : records) {
        out << SignInRecord::from(record);
    }
    return out;
}

}  // namespace

IndexRepository::IndexRepository(ApiClient& client, QObject* parent)
    : QObject(parent), client_(client) {}

QCoro::Task<> IndexRepository::fetchIndex(std::stop_token stop) {
    const auto load = loading_.begin();
    const IndexResponse response =
        co_await client_.request<IndexResponse>(IndexEndpoint::index(), std::move(stop));
    if (load.abandoned()) {
        co_return;
    }
    tokenScarcity_ = response.tokenScarcity;
    emit tokenScarcityChanged();
    notice_ = response.notice ? std::optional(Notice::from(*response.notice)) : std::nullopt;
    emit noticeChanged();
    recentSignIns_ = convert(response.recent);
    emit recentSignInsChanged();
    modelTops_ = QList<ModelRanking>(response.modelTops.begin(), response.modelTops.end());
    emit modelTopsChanged();
    models_.clear();
    for (const auto& ranking : modelTops_) {
        if (!ranking.name.isEmpty()) {
            models_ << ranking;
        }
    }
    emit modelsChanged();
}

QCoro::Task<> IndexRepository::fetchRecent(std::stop_token stop) {
    const QPointer<IndexRepository> self(this);
    const auto records = co_await client_.request<std::vector<WireSignInRecord>>(
        IndexEndpoint::recent(), std::move(stop));
    if (self) {
        self->recentSignIns_ = convert(records);
        emit self->recentSignInsChanged();
    }
}

QCoro::Task<> IndexRepository::fetchNotices(std::stop_token stop) {
    const QPointer<IndexRepository> self(this);
    const auto list =
        co_await client_.request<NoticeListResponse>(IndexEndpoint::noticeList(), std::move(stop));
    if (self) {
        QList<Notice> notices;
        for (const auto& dto : list.data) {
            notices << Notice::from(dto);
        }
        self->notices_ = std::move(notices);
        emit self->noticesChanged();
    }
}

QCoro::Task<std::optional<AppVersionUpdate>> IndexRepository::checkVersion(QString currentVersion,
                                                                           std::stop_token stop) {
    const auto dto = co_await client_.requestOptional<VersionUpdateResponse>(
        IndexEndpoint::version(std::move(currentVersion)), std::move(stop));
    if (!dto) {
        co_return std::nullopt;
    }
    co_return AppVersionUpdate::from(*dto);
}

QVariant IndexRepository::noticeVariant() const {
    return notice_ ? QVariant::fromValue(*notice_) : QVariant();
}
QVariantList IndexRepository::recentSignInsVariant() const {
    return toVariantList(recentSignIns_);
}
QVariantList IndexRepository::modelTopsVariant() const {
    return toVariantList(modelTops_);
}
QVariantList IndexRepository::noticesVariant() const {
    return toVariantList(notices_);
}
QVariantList IndexRepository::modelsVariant() const {
    return toVariantList(models_);
}

}  // namespace corvanta::backend
