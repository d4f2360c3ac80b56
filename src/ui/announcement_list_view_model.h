#pragma once

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

#include "async/loading_flag.h"
#include "backend/display_records.h"

namespace corvanta::backend {
class IndexRepository;
}

namespace corvanta::ui {

// The announcement list reached from the dashboard banner. It shows what it is seeded with at
// once (the list of an earlier visit, or the banner's announcement), then loads the notice list
// and hands the fresh list back through `onListUpdated`. Main thread only.
class AnnouncementListViewModel : public QObject {
    Q_OBJECT
    // Each announcement as {id, title, dateText, summary, content}.
    Q_PROPERTY(QVariantList announcements READ announcementsVariant NOTIFY announcementsChanged)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY announcementsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)

public:
    using ListUpdated = std::function<void(const QList<backend::Announcement>&)>;

    AnnouncementListViewModel(backend::IndexRepository& index, ListUpdated onListUpdated,
                              QObject* parent = nullptr);

    static backend::Announcement announcementFrom(const backend::Notice& notice);
    // The content as one line of plain text, cut at `limit` characters.
    static QString summaryOf(const QString& content, int limit = 140);
    // "date_format_announcement_detail" in local time; empty for an unknown date.
    static QString detailDate(const QDateTime& date);
    static QVariantMap toVariant(const backend::Announcement& announcement);

    const QList<backend::Announcement>& announcements() const { return announcements_; }
    bool isEmpty() const { return announcements_.isEmpty(); }
    bool isLoading() const { return loading_.isLoading(); }
    const QString& errorMessage() const { return errorMessage_; }

    // Shows the seed list (or, without one, the seed announcement) and starts the refresh.
    void show(const QList<backend::Announcement>& seedList,
              const std::optional<backend::Announcement>& seed);
    QCoro::Task<> refresh();

signals:
    void announcementsChanged();
    void isLoadingChanged();
    void errorMessageChanged();

private:
    QVariantList announcementsVariant() const;
    void setErrorMessage(const QString& message);

    backend::IndexRepository& index_;
    ListUpdated onListUpdated_;
    QList<backend::Announcement> announcements_;
    QString errorMessage_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::ui
