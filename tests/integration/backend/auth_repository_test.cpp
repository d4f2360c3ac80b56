// Sign-in, token freshness and sign-out against a real corvanta-devserver.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include "backend/key_store.h"
#include "backend_fixture.h"

namespace corvanta::backend {
namespace {

using corvanta::testing::await;

class AuthRepositoryTest : public BackendFixture {
protected:
    std::vector<std::string> paths() {
        std::vector<std::string> out;
        for (const auto& entry : server->requests()) {
            out.push_back(entry["path"]);
        }
        return out;
    }
    void checkReplies(qint64 seconds) {
        server->addFault({{"path", "/api/token/check"},
                          {"body", R"({"code":1,"msg":"ok","data":{"expires_in":)" +
                                       std::to_string(seconds) + "}}"}});
    }
};

TEST_F(AuthRepositoryTest, LoginStoresTokenKeyAndExpiry) {
    EXPECT_FALSE(auth->isAuthenticated());
    std::vector<bool> loading;
    QObject::connect(auth.get(), &AuthRepository::isLoadingChanged,
                     [&] { loading.push_back(auth->isLoading()); });
    const QDateTime before = QDateTime::currentDateTimeUtc();
    await(auth->login(QStringLiteral("  ") + server->demoKey() + QStringLiteral("\n")));
    EXPECT_TRUE(auth->isAuthenticated());
    EXPECT_EQ(loading, (std::vector<bool>{true, false}));
    EXPECT_EQ(loadStoredKey(*tokens), server->demoKey());
    ASSERT_TRUE(tokens->expiryDate());
    EXPECT_GE(*tokens->expiryDate(), before.addSecs(604800 - 5));
    EXPECT_LE(*tokens->expiryDate(), QDateTime::currentDateTimeUtc().addSecs(604800));
    EXPECT_EQ(paths(), (std::vector<std::string>{"/api/user/keyLogin", "/api/token/check"}));
    await(tokens->flush());
    EXPECT_EQ(store->read(TokenManager::kTokenAccount), tokens->currentToken()->toStdString());
}

TEST_F(AuthRepositoryTest, RefreshWhenADayOrLessRemains) {
    server->configure({{"tokenLifetime", 3600}});
    signIn();
    const QString refreshed = *tokens->currentToken();
    EXPECT_EQ(paths(), (std::vector<std::string>{"/api/user/keyLogin", "/api/token/check",
                                                 "/api/token/refresh", "/api/token/check"}));
    const auto seen = server->requests();
    EXPECT_NE(seen[1]["headers"]["token"], refreshed.toStdString());  // the login token
    EXPECT_EQ(seen[3]["headers"]["token"], refreshed.toStdString());  // the refreshed one
    EXPECT_LE(*tokens->expiresIn(), 3600);
    // The new token works; the old one was retired by the refresh.
    EXPECT_TRUE(await(auth->verifySignIn()));

    server->clearRequests();
    checkReplies(86400);
    EXPECT_TRUE(await(auth->verifySignIn()));
    EXPECT_EQ(requestsTo("/api/token/refresh").size(), 1u);
    server->clearRequests();
    checkReplies(86401);
    EXPECT_TRUE(await(auth->verifySignIn()));
    EXPECT_TRUE(requestsTo("/api/token/refresh").empty());
    EXPECT_EQ(*tokens->expiresIn(), 86401);
}

TEST_F(AuthRepositoryTest, LoginFailures) {
    EXPECT_EQ(apiFailure(auth->login(QStringLiteral(" \n "))), ApiError::Kind::invalidRequest);
    EXPECT_TRUE(server->requests().empty());

    EXPECT_EQ(failure<ApiError>(auth->login(QStringLiteral("wrong"))).message(),
              QStringLiteral("Account key not recognised"));
    EXPECT_FALSE(auth->isLoading());

    signIn();
    server->addFault({{"path", "/api/user/keyLogin"},
                      {"body", R"({"code":1,"msg":"ok","data":{"userinfo":{"token":"  "}}})"}});
    EXPECT_EQ(apiFailure(auth->login(QStringLiteral("other"))), ApiError::Kind::invalidResponse);
    EXPECT_FALSE(tokens->currentToken());
    EXPECT_EQ(loadStoredKey(*tokens), server->demoKey());  // key untouched

    tokens->removeSecret(TokenManager::kKeyAccount);
    server->addFault({{"path", "/api/token/check"}, {"status", 500}});
    EXPECT_EQ(apiFailure(auth->login(server->demoKey())), ApiError::Kind::httpError);
    EXPECT_FALSE(tokens->currentToken());
    EXPECT_FALSE(loadStoredKey(*tokens));  // saved only after a good check
    EXPECT_FALSE(auth->isLoading());

    checkReplies(0);
    EXPECT_EQ(apiFailure(auth->login(server->demoKey())), ApiError::Kind::unauthorized);
    EXPECT_FALSE(auth->isAuthenticated());

    server->addFault(
        {{"path", "/api/user/keyLogin"},
         {"body",
          R"({"code":1,"msg":"ok","data":{"userinfo":{"access_token":"tok","expiretime":4102444800}}})"}});
    checkReplies(700000);
    await(auth->login(server->demoKey()));
    EXPECT_EQ(tokens->currentToken(), QStringLiteral("tok"));
}

TEST_F(AuthRepositoryTest, VerifySignInKeepsStateOnNetworkFailures) {
    signIn();
    const QString token = *tokens->currentToken();
    server->addFault({{"path", "/api/token/check"}, {"status", 502}});
    EXPECT_FALSE(await(auth->verifySignIn()));
    // Three drops: Qt may send the check again on a fresh connection, up to twice.
    server->addFault({{"path", "/api/token/check"}, {"reply", "drop"}, {"count", 3}});
    EXPECT_FALSE(await(auth->verifySignIn()));
    server->clearFaults();
    server->addFault({{"path", "/api/token/check"}, {"reply", "malformed"}});
    EXPECT_FALSE(await(auth->verifySignIn()));
    EXPECT_TRUE(auth->isAuthenticated());
    EXPECT_EQ(tokens->currentToken(), token);
    EXPECT_EQ(engineStops, 0);

    EXPECT_TRUE(await(auth->verifySignIn()));
    EXPECT_TRUE(await(auth->restoreSignIn()));

    server->revokeTokens();  // the backend forgot the sign-in: envelope code 401
    EXPECT_FALSE(await(auth->verifySignIn()));
    EXPECT_FALSE(auth->isAuthenticated());
    EXPECT_FALSE(tokens->currentToken());
    EXPECT_EQ(engineStops, 1);
}

TEST_F(AuthRepositoryTest, ExpiredOrMissingTokenNeedsNoRequest) {
    signIn();
    server->clearRequests();
    tokens->setExpiry(QDateTime::currentDateTimeUtc().addSecs(-1));
    EXPECT_FALSE(await(auth->verifySignIn()));
    EXPECT_FALSE(auth->isAuthenticated());
    EXPECT_EQ(engineStops, 1);
    EXPECT_FALSE(await(auth->restoreSignIn()));
    EXPECT_TRUE(server->requests().empty());

    // HTTP 401 ends the sign-in as well.
    signIn();
    server->addFault({{"path", "/api/token/check"}, {"status", 401}});
    EXPECT_FALSE(await(auth->verifySignIn()));
    EXPECT_FALSE(auth->isAuthenticated());

    // A repository built over a valid stored sign-in starts signed in.
    signIn();
    AuthRepository restored(*client, *tokens, settings);
    EXPECT_TRUE(restored.isAuthenticated());
}

TEST_F(AuthRepositoryTest, SignOutSendsLogoutWithoutToken) {
    signIn();
    settings.setValue(QStringLiteral("cached_user"), QStringLiteral("x"));
    auth->signOut();
    EXPECT_FALSE(auth->isAuthenticated());
    EXPECT_EQ(engineStops, 1);
    EXPECT_FALSE(tokens->currentToken());
    EXPECT_FALSE(settings.contains(QStringLiteral("cached_user")));
    const QDeadlineTimer deadline(10000);
    while (requestsTo("/api/user/logout").empty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    const auto logout = requestsTo("/api/user/logout");
    ASSERT_EQ(logout.size(), 1u);
    EXPECT_FALSE(logout[0]["headers"].contains("token"));
    EXPECT_EQ(logout[0]["method"], "POST");
    EXPECT_FALSE(await(auth->logoutRemote()));
    server->addFault({{"path", "/api/user/logout"}, {"status", 500}});
    EXPECT_TRUE(await(auth->logoutRemote()));
}

}  // namespace
}  // namespace corvanta::backend
