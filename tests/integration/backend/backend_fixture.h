#pragma once

#include <gtest/gtest.h>

#include <QNetworkReply>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "backend/api_client.h"
#include "backend/auth_repository.h"
#include "backend/errors.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/await.h"
#include "support/coro_test_util.h"
#include "support/devserver_process.h"
#include "support/qt_app.h"

namespace corvanta::backend {

// The client stack of the application, pointed at a devserver of its own.
class BackendFixture : public ::testing::Test {
protected:
    explicit BackendFixture(QStringList serverArguments = {QStringLiteral("--difficulty"),
                                                           QStringLiteral("1")}) {
        corvanta::testing::ensureCoreApplication();
        server = std::make_unique<corvanta::testing::DevServerProcess>(serverArguments);
        qputenv("CORVANTA_API_BASE_URL", server->url().toUtf8());
        tokens = std::make_unique<TokenManager>([store = store] { return store; });
        corvanta::testing::await(tokens->load());
        client = std::make_unique<ApiClient>(*tokens);
        auth = std::make_unique<AuthRepository>(*client, *tokens, settings);
        auth->setStopEngine([this](AuthRepository::EngineStop) { ++engineStops; });
    }

    // Requests still in flight (a sign-out's logout call) end before their client goes: a reply
    // deleted unfinished would leave the coroutine awaiting it suspended for good. A finished
    // request's reply is deleted later, so none left means none in flight.
    ~BackendFixture() override {
        corvanta::testing::processEventsUntil(
            [this] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return client->findChildren<QNetworkReply*>().isEmpty();
            },
            std::chrono::seconds(10));
    }

    void signIn() { corvanta::testing::await(auth->login(server->demoKey())); }

    // The error a task ends with, as its type (fails the test when it succeeds).
    template <class Error, class Task>
    Error failure(Task&& task) {
        const std::exception_ptr error = corvanta::testing::failureOf(std::forward<Task>(task));
        if (!error) {
            ADD_FAILURE() << "the call succeeded";
            throw std::runtime_error("no failure");
        }
        try {
            std::rethrow_exception(error);
        } catch (const Error& expected) {
            return expected;
        } catch (const std::exception& other) {
            ADD_FAILURE() << "other error: " << other.what();
            throw;
        }
    }

    ApiError::Kind apiFailure(QCoro::Task<>&& task) {
        return failure<ApiError>(std::move(task)).kind();
    }

    // Requests the server saw for `path`, oldest first.
    std::vector<nlohmann::json> requestsTo(const std::string& path) {
        std::vector<nlohmann::json> found;
        for (const auto& entry : server->requests()) {
            if (entry["path"] == path) {
                found.push_back(entry);
            }
        }
        return found;
    }

    std::unique_ptr<corvanta::testing::DevServerProcess> server;
    std::shared_ptr<platform::MemorySecretStore> store =
        std::make_shared<platform::MemorySecretStore>();
    QTemporaryDir dir;
    QSettings settings{dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat};
    std::unique_ptr<TokenManager> tokens;
    std::unique_ptr<ApiClient> client;
    std::unique_ptr<AuthRepository> auth;
    int engineStops = 0;
};

}  // namespace corvanta::backend
