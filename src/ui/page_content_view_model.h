#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

#include "async/loading_flag.h"
#include "backend/endpoints.h"

namespace corvanta::backend {
class PageRepository;
}

namespace corvanta::ui {

// One content page (about, privacy, terms) loaded from the backend and shown as rich text,
// reduced to plain formatting first.
// Main thread only.
class PageContentViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString pageType READ pageType NOTIFY pageTypeChanged)
    Q_PROPERTY(QString title READ title NOTIFY contentChanged)
    Q_PROPERTY(QString htmlContent READ htmlContent NOTIFY contentChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY contentChanged)
    // The page is shown in a sheet over the window.
    Q_PROPERTY(bool isPresented READ isPresented NOTIFY isPresentedChanged)
    // The window's appearance, which the document's colours follow.
    Q_PROPERTY(bool dark READ dark WRITE setDark NOTIFY contentChanged)

public:
    explicit PageContentViewModel(backend::PageRepository& pages, QObject* parent = nullptr);

    QString pageType() const;
    const QString& title() const { return title_; }
    const QString& htmlContent() const { return htmlContent_; }
    bool isLoading() const { return loading_.isLoading(); }
    const QString& errorMessage() const { return errorMessage_; }
    bool isPresented() const { return isPresented_; }
    bool dark() const { return dark_; }
    void setDark(bool dark);

    // The document the page shows: the fixed head with the colours of the light or dark
    // appearance, the content reduced to the formatting the page shows (sanitizeRichText), the
    // closing tags. It is written for Qt's rich-text engine, which takes no media queries and
    // sizes heading elements by a step of its own whatever a style sheet says: headings are set
    // as paragraphs of their class (h1 as <p class="h1">).
    static QString document(const QString& content, bool dark = false);
    static QString defaultTitle(backend::PageType type);

    // Opens "about", "privacy" or "terms"; anything else is ignored. A load still running for
    // another page is abandoned.
    Q_INVOKABLE void open(const QString& pageType);
    QCoro::Task<> load(backend::PageType type);
    // Closes the sheet.
    Q_INVOKABLE void close();

signals:
    void pageTypeChanged();
    void contentChanged();
    void isLoadingChanged();
    void isPresentedChanged();

private:
    backend::PageRepository& pages_;
    backend::PageType type_ = backend::PageType::about;
    QString title_;
    QString htmlContent_;
    // The page's content as received, while there is one.
    std::optional<QString> content_;
    bool dark_ = false;
    bool isPresented_ = false;
    QString errorMessage_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::ui
