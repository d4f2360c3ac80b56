#include "ui/page_content_view_model.h"

#include "backend/page_repository.h"
#include "platform/string_table.h"
#include "ui/error_text.h"
#include "ui/rich_text_sanitizer.h"

#include <QRegularExpression>

namespace corvanta::ui {

using platform::localized;

PageContentViewModel::PageContentViewModel(backend::PageRepository& pages, QObject* parent)
    : QObject(parent), pages_(pages) {}

QString PageContentViewModel::pageType() const {
    return backend::pageTypeText(type_);
}

QString PageContentViewModel::document(const QString& content, bool dark) {
    static const QString style = QStringLiteral(
        "body { font-family: -apple-system, BlinkMacSystemFont, \"Segoe UI\", sans-serif; "
        "font-size: 15px; line-height: 1.75; color: %1; margin: 0; "
        "padding: 0 22px 34px 22px; }\n"
        "a { color: %2; text-decoration: none; }\n"
        "p { margin: 10px 0; }\n"
        "p.h1 { font-size: 24px; font-weight: bold; margin: 0 0 18px 0; }\n"
        "p.h2 { font-size: 20px; font-weight: bold; margin: 22px 0 10px 0; }\n"
        "p.h3 { font-size: 17px; font-weight: bold; margin: 18px 0 8px 0; }\n"
        "p.h4, p.h5, p.h6 { font-size: 15px; font-weight: bold; margin: 14px 0 6px 0; }\n"
        // The engine indents lists by steps of its own; a margin of 24px per level instead.
        "ul, ol { margin-left: 24px; -qt-list-indent: 0; }\n"
        "img { max-width: 100%; height: auto; }\n");
    // The sanitizer writes every tag itself, so headings come as bare <hN> and </hN>.
    static const QRegularExpression headingStart(QStringLiteral("<h([1-6])>"));
    static const QRegularExpression headingEnd(QStringLiteral("</h[1-6]>"));
    QString body = sanitizeRichText(content);
    body.replace(headingStart, QStringLiteral("<p class=\"h\\1\">"));
    body.replace(headingEnd, QStringLiteral("</p>"));
    return QStringLiteral(
               "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
               "<style>\n") +
           style.arg(dark ? QStringLiteral("#E5E5EA") : QStringLiteral("#1D1D1F"),
                     dark ? QStringLiteral("#64B5F6") : QStringLiteral("#3B82F6")) +
           QStringLiteral("</style>\n</head>\n<body>\n") + body +
           QStringLiteral("\n</body>\n</html>");
}

QString PageContentViewModel::defaultTitle(backend::PageType type) {
    return localized(QStringLiteral("page_title_") + backend::pageTypeText(type));
}

void PageContentViewModel::open(const QString& pageType) {
    for (const auto type :
         {backend::PageType::about, backend::PageType::privacy, backend::PageType::terms}) {
        if (backend::pageTypeText(type) == pageType) {
            // The task ends on its own; dropping it does not cancel it.
            [[maybe_unused]] auto running = load(type);
            if (!isPresented_) {
                isPresented_ = true;
                emit isPresentedChanged();
            }
            return;
        }
    }
}

QCoro::Task<> PageContentViewModel::load(backend::PageType type) {
    type_ = type;
    emit pageTypeChanged();
    title_ = defaultTitle(type);
    content_.reset();
    htmlContent_.clear();
    errorMessage_.clear();
    emit contentChanged();
    // Replaces a load still running for another page.
    const auto current = loading_.restart();

    QString title;
    std::optional<QString> content;
    QString failure;
    try {
        const auto page = co_await pages_.fetchPage(type, current.token());
        title = page.title.value_or(QString());
        content = page.content.value_or(QString());
    } catch (const std::exception& error) {
        failure = errorText(error);
    }
    // A newer load (or the end of this object) took over.
    if (current.abandoned()) {
        co_return;
    }
    if (!title.isEmpty()) {
        title_ = title;
    }
    content_ = content;
    htmlContent_ = content_ ? document(*content_, dark_) : QString();
    errorMessage_ = failure;
    emit contentChanged();
}

void PageContentViewModel::setDark(bool dark) {
    if (dark == dark_) {
        return;
    }
    dark_ = dark;
    if (content_) {
        htmlContent_ = document(*content_, dark_);
    }
    emit contentChanged();
}

void PageContentViewModel::close() {
    if (isPresented_) {
        isPresented_ = false;
        emit isPresentedChanged();
    }
}

}  // namespace corvanta::ui
