#include "ui/key_login_view_model.h"

#include <iterator>

#include "backend/errors.h"
#include "platform/string_table.h"
#include "ui/auth_action_link.h"
#include "ui/error_text.h"

namespace corvanta::ui {

using platform::localized;

KeyLoginViewModel::KeyLoginViewModel(LoginFunction login, QObject* parent)
    : QObject(parent), login_(std::move(login)) {}

void KeyLoginViewModel::setKey(const QString& key) {
    if (key != key_) {
        key_ = key;
        emit keyChanged();
    }
}

namespace {

// The agreement row's parts in order; a link part carries the page it opens.
struct AgreementPart {
    const char* textKey;
    const char* pageType;  // nullptr for plain text
};

constexpr AgreementPart kAgreementParts[] = {
    {"login_agreement_prefix", nullptr},
    {"login_privacy_policy", "privacy"},
    {"login_agreement_and", nullptr},
    {"login_terms_of_service", "terms"},
};

}  // namespace

QString KeyLoginViewModel::agreementHtml() const {
    QString html;
    int index = 0;
    for (const auto& part : kAgreementParts) {
        const QString text = localized(QLatin1String(part.textKey)).toHtmlEscaped();
        if (part.pageType) {
            html += QStringLiteral("<a href=\"%1\">%2</a>").arg(authActionUrl(index), text);
        } else {
            html += text;
        }
        ++index;
    }
    return html;
}

QString KeyLoginViewModel::pageTypeForLink(const QString& url) const {
    const auto index = parseAuthActionUrl(QUrl(url));
    constexpr int count = int(std::size(kAgreementParts));
    if (!index || *index < 0 || *index >= count || !kAgreementParts[*index].pageType) {
        return {};
    }
    return QLatin1String(kAgreementParts[*index].pageType);
}

void KeyLoginViewModel::submit() {
    if (loading_.isLoading()) {
        return;
    }
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = login();
}

QCoro::Task<> KeyLoginViewModel::login() {
    const QString trimmed = key_.trimmed();
    if (trimmed.isEmpty()) {
        setErrorMessage(localized(QStringLiteral("key_login_empty")));
        co_return;
    }
    const auto current = loading_.begin();
    setErrorMessage({});
    QString failure;
    try {
        co_await login_(trimmed);
    } catch (const backend::BackendError& error) {
        failure = errorText(error);
        if (failure.isEmpty()) {
            failure = localized(QStringLiteral("key_login_failed"));
        }
    } catch (...) {
        failure = localized(QStringLiteral("key_login_failed"));
    }
    if (current.abandoned()) {
        co_return;
    }
    setErrorMessage(failure);
}

void KeyLoginViewModel::setErrorMessage(const QString& message) {
    if (message != errorMessage_) {
        errorMessage_ = message;
        emit errorMessageChanged();
    }
}

}  // namespace corvanta::ui
