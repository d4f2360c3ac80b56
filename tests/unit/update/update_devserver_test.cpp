// The update manager against a real corvanta-devserver on loopback.
#include <gtest/gtest.h>

#include "backend/api_client.h"
#include "backend/index_repository.h"
#include "backend/token_manager.h"
#include "fake_version_checker.h"
#include "platform/memory_secret_store.h"
#include "platform/string_table.h"
#include "support/await.h"
#include "support/devserver_process.h"
#include "support/qt_app.h"
#include "update/app_update_manager.h"
#include "update/index_version_checker.h"

namespace corvanta::update {
namespace {

using corvanta::testing::await;

TEST(UpdateDevServerTest, OffersFollowTheBackend) {
    corvanta::testing::ensureCoreApplication();
    corvanta::testing::DevServerProcess server(
        {QStringLiteral("--version-reply"), QStringLiteral("mandatory"),
         QStringLiteral("--latest-version"), QStringLiteral("2.0.0")});
    qputenv("CORVANTA_API_BASE_URL", server.url().toUtf8());
    auto store = std::make_shared<platform::MemorySecretStore>();
    backend::TokenManager tokens([store] { return store; });
    await(tokens.load());
    backend::ApiClient client(tokens);
    backend::IndexRepository index(client);
    AppUpdateManager manager(std::make_unique<IndexVersionChecker>(index),
                             std::make_unique<FixedVersion>(QStringLiteral("1.0.0+b")));
    const auto versionRequests = [&] {
        std::vector<nlohmann::json> found;
        for (const auto& entry : server.requests()) {
            if (entry["path"] == "/api/index/version") {
                found.push_back(entry);
            }
        }
        return found;
    };

    // Back to back: one request on the wire.
    auto first = manager.checkForUpdates();
    manager.requestCheck();
    await(std::move(first));
    const auto sent = versionRequests();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["query"], "version=1.0.0%2Bb");
    ASSERT_TRUE(manager.isMandatory());
    EXPECT_EQ(manager.availableUpdate()->newVersion, QStringLiteral("2.0.0"));
    EXPECT_EQ(manager.availableUpdate()->version, QStringLiteral("1.0.0+b"));
    EXPECT_TRUE(manager.availableUpdate()->downloadUrl);
    manager.dismissUpdate();
    EXPECT_TRUE(manager.isMandatory());

    server.addFault({{"path", "/api/index/version"}, {"status", 502}});
    await(manager.checkForUpdates());
    EXPECT_TRUE(manager.isMandatory());
    EXPECT_EQ(manager.statusMessage(),
              platform::localized(QStringLiteral("profile_version_check_failed")));

    server.configure({{"versionReply", "optional"}});
    await(manager.checkForUpdates());
    ASSERT_TRUE(manager.hasUpdate());
    EXPECT_FALSE(manager.isMandatory());
    EXPECT_FALSE(manager.statusMessage());
    manager.dismissUpdate();
    EXPECT_FALSE(manager.hasUpdate());

    server.configure({{"versionReply", "mandatory"}});
    await(manager.checkForUpdates());
    server.configure({{"versionReply", "none"}});
    await(manager.checkForUpdates());
    EXPECT_FALSE(manager.hasUpdate());
    EXPECT_EQ(manager.statusMessage(),
              platform::localized(QStringLiteral("profile_version_latest")));
    EXPECT_EQ(versionRequests().size(), 5u);
}

}  // namespace
}  // namespace corvanta::update
