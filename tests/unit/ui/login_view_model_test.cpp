#include <gtest/gtest.h>

#include <QUrl>

#include <stdexcept>

#include "backend/errors.h"
#include "platform/string_table.h"
#include "support/coro_test_util.h"
#include "ui/auth_action_link.h"
#include "ui/key_login_view_model.h"

namespace corvanta::ui {
namespace {

using platform::localized;
using testing::runSync;

TEST(KeyLoginViewModel, BlankKeyShowsTheEmptyTextAndSendsNothing) {
    int calls = 0;
    KeyLoginViewModel model([&](QString) -> QCoro::Task<> {
        ++calls;
        co_return;
    });
    model.setKey(QStringLiteral("  \n\t "));
    runSync(model.login());
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(model.errorMessage(), localized(QStringLiteral("key_login_empty")));
    EXPECT_FALSE(model.isLoading());
}

TEST(KeyLoginViewModel, SendsTheTrimmedKeyAndMapsFailures) {
    QString sent;
    std::function<void()> fail;
    KeyLoginViewModel model([&](QString key) -> QCoro::Task<> {
        sent = key;
        if (fail) {
            fail();
        }
        co_return;
    });
    model.setKey(QStringLiteral("  demo-key \n"));

    // A backend error is shown in the string table's words.
    fail = [] { throw backend::ApiError(backend::ApiError::Kind::invalidResponse); };
    runSync(model.login());
    EXPECT_EQ(sent, QStringLiteral("demo-key"));
    EXPECT_EQ(model.errorMessage(), localized(QStringLiteral("api_error_invalid_response")));
    EXPECT_TRUE(model.hasError());
    EXPECT_FALSE(model.isLoading());
    // The typed key stays for another try.
    EXPECT_EQ(model.key(), QStringLiteral("  demo-key \n"));

    // Anything else is the generic text.
    fail = [] { throw std::runtime_error("boom"); };
    runSync(model.login());
    EXPECT_EQ(model.errorMessage(), localized(QStringLiteral("key_login_failed")));

    // Success clears the error.
    fail = nullptr;
    runSync(model.login());
    EXPECT_FALSE(model.hasError());
    EXPECT_FALSE(model.isLoading());
}

TEST(AuthActionLink, ParsesOnlyWellFormedLinks) {
    EXPECT_EQ(authActionUrl(3), QStringLiteral("corvanta-auth-action://part/3"));
    EXPECT_EQ(parseAuthActionUrl(QUrl(authActionUrl(1))), 1);
    EXPECT_EQ(parseAuthActionUrl(QUrl(QStringLiteral("corvanta-auth-action://part/x/7"))), 7);
    EXPECT_EQ(parseAuthActionUrl(QUrl(QStringLiteral("corvanta-auth-action://part/+2"))), 2);
    EXPECT_EQ(parseAuthActionUrl(QUrl(QStringLiteral("corvanta-auth-action://part/-1"))), -1);
    for (const char* bad : {"corvanta-auth-action://part/abc", "corvanta-auth-action://part/1a",
                            "corvanta-auth-action://part/", "corvanta-auth-action://other/1",
                            "https://part/1", "corvanta-auth-action://part/1.5"}) {
        EXPECT_FALSE(parseAuthActionUrl(QUrl(QString::fromLatin1(bad)))) << bad;
    }

    // The agreement row's links lead to the two pages; other parts and URLs to nothing.
    KeyLoginViewModel model([](QString) -> QCoro::Task<> { co_return; });
    const QString html = model.agreementHtml();
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"corvanta-auth-action://part/1\"")));
    EXPECT_TRUE(html.contains(QStringLiteral("href=\"corvanta-auth-action://part/3\"")));
    EXPECT_EQ(model.pageTypeForLink(authActionUrl(1)), QStringLiteral("privacy"));
    EXPECT_EQ(model.pageTypeForLink(authActionUrl(3)), QStringLiteral("terms"));
    EXPECT_EQ(model.pageTypeForLink(authActionUrl(0)), QString());
    EXPECT_EQ(model.pageTypeForLink(authActionUrl(9)), QString());
    EXPECT_EQ(model.pageTypeForLink(QStringLiteral("corvanta-auth-action://part/terms")),
              QString());
}

}  // namespace
}  // namespace corvanta::ui
