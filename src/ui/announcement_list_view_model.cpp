#include "ui/announcement_list_view_model.h"

#include <QLocale>
#include <QRegularExpression>

#include "backend/index_repository.h"
#include "platform/string_table.h"
#include "ui/error_text.h"
#include "ui/rich_text_sanitizer.h"

namespace corvanta::ui {

using backend::Announcement;
using platform::localized;

AnnouncementListViewModel::AnnouncementListViewModel(backend::IndexRepository& index,
                                                     ListUpdated onListUpdated, QObject* parent)
    : QObject(parent), index_(index), onListUpdated_(std::move(onListUpdated)) {}

Announcement AnnouncementListViewModel::announcementFrom(const backend::Notice& notice) {
    Announcement announcement;
    announcement.id = notice.id;
    announcement.title = notice.title;
    announcement.date = notice.createtime.value_or(QDateTime());
    announcement.summary = summaryOf(notice.content);
    announcement.content = notice.content;
    return announcement;
}

QString AnnouncementListViewModel::summaryOf(const QString& content, int limit) {
    // Notices arrive as HTML or as plain text: drop the tags, undo the common entities, and
    // fold the white space into one line.
    static const QRegularExpression breaks(QStringLiteral("<(br|/p|/div|/li|/h[1-6]|/tr)\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    QString text = content;
    text.replace(breaks, QStringLiteral(" ")).replace(tags, QString());
    text.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "))
        .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&#39;"), QStringLiteral("'"))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    text = text.simplified();
    if (text.size() > limit) {
        text = text.left(limit).trimmed() + QStringLiteral("…");
    }
    return text;
}

QString AnnouncementListViewModel::detailDate(const QDateTime& date) {
    if (!date.isValid()) {
        return QString();
    }
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(date.toLocalTime(),
                            localized(QStringLiteral("date_format_announcement_detail")));
}

QVariantMap AnnouncementListViewModel::toVariant(const Announcement& announcement) {
    return {{QStringLiteral("id"), announcement.id},
            {QStringLiteral("title"), announcement.title},
            {QStringLiteral("dateText"), detailDate(announcement.date)},
            {QStringLiteral("summary"), announcement.summary},
            // Shown as rich text: reduced to the formatting the detail page shows.
            {QStringLiteral("content"), sanitizeRichText(announcement.content)}};
}

void AnnouncementListViewModel::show(const QList<Announcement>& seedList,
                                     const std::optional<Announcement>& seed) {
    if (!seedList.isEmpty()) {
        announcements_ = seedList;
    } else if (seed) {
        announcements_ = {*seed};
    } else {
        announcements_.clear();
    }
    emit announcementsChanged();
    setErrorMessage(QString());
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = refresh();
}

QCoro::Task<> AnnouncementListViewModel::refresh() {
    const auto current = loading_.restart();
    QString failure;
    try {
        co_await index_.fetchNotices(current.token());
    } catch (const std::exception& error) {
        failure = errorText(error);
    }
    // A newer refresh (or the end of this object) took over.
    if (current.abandoned()) {
        co_return;
    }
    if (!failure.isEmpty()) {
        // The seed stays on screen; the message says why it was not refreshed.
        setErrorMessage(failure);
        co_return;
    }
    QList<Announcement> fresh;
    for (const auto& notice : index_.notices()) {
        fresh << announcementFrom(notice);
    }
    announcements_ = fresh;
    emit announcementsChanged();
    if (onListUpdated_) {
        onListUpdated_(fresh);
    }
}

QVariantList AnnouncementListViewModel::announcementsVariant() const {
    QVariantList out;
    out.reserve(announcements_.size());
    for (const auto& announcement : announcements_) {
        out << toVariant(announcement);
    }
    return out;
}

void AnnouncementListViewModel::setErrorMessage(const QString& message) {
    if (message != errorMessage_) {
        errorMessage_ = message;
        emit errorMessageChanged();
    }
}

}  // namespace corvanta::ui
