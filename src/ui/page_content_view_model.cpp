#include "ui/page_content_view_model.h"

#include "backend/page_repository.h"
#include "platform/string_table.h"
#include "ui/error_text.h"
#include "ui/rich_text_sanitizer.h"

namespace corvanta::ui {

using platform::localized;

PageContentViewModel::PageContentViewModel(backend::PageRepository& pages, QObject* parent)
    : QObject(parent), pages_(pages) {}

QString PageContentViewModel::pageType() const {
    return backend::pageTypeText(type_);
}

QString PageContentViewModel::document(const QString& content) {
    static const QString prefix = QStringLiteral(
        "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n"
        "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
        "<style>\n"
        ":root { color-scheme: light dark; }\n"
        "body { font-family: -apple-system, BlinkMacSystemFont, \"Segoe UI\", sans-serif; "
        "font-size: 15px; line-height: 1.75; color: #1D1D1F; margin: 0; "
        "padding: 0 22px 34px 22px; }\n"
        "@media (prefers-color-scheme: dark) { body { color: #E5E5EA; background: transparent; } "
        "a { color: #64B5F6; } }\n"
        "a { color: #3B82F6; text-decoration: none; }\n"
        "h1 { font-size: 24px; margin: 0 0 18px 0; }\n"
        "h2 { font-size: 20px; margin: 22px 0 10px 0; }\n"
        "h3 { font-size: 17px; margin: 18px 0 8px 0; }\n"
        "p { margin: 10px 0; }\n"
        "ul, ol { padding-left: 24px; }\n"
        "img { max-width: 100%; height: auto; }\n"
        "</style>\n</head>\n<body>\n");
    return prefix + sanitizeRichText(content) + QStringLiteral("\n</body>\n</html>");
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
    htmlContent_.clear();
    errorMessage_.clear();
    emit contentChanged();
    // Replaces a load still running for another page.
    const auto current = loading_.restart();

    QString title;
    QString html;
    QString failure;
    try {
        const auto page = co_await pages_.fetchPage(type, current.token());
        title = page.title.value_or(QString());
        html = document(page.content.value_or(QString()));
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
    htmlContent_ = html;
    errorMessage_ = failure;
    emit contentChanged();
}

void PageContentViewModel::close() {
    if (isPresented_) {
        isPresented_ = false;
        emit isPresentedChanged();
    }
}

}  // namespace corvanta::ui
