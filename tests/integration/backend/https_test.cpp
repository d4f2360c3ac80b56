// TLS against the devserver with certificates made here by the openssl tool.
#include <gtest/gtest.h>

#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTemporaryDir>

#include "backend/api_client.h"
#include "backend/errors.h"
#include "backend/page_repository.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/await.h"
#include "support/devserver_process.h"
#include "support/qt_app.h"

namespace corvanta::backend {
namespace {

// A self-signed certificate for 127.0.0.1: its own CA.
void makeCertificate(const QString& certFile, const QString& keyFile) {
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                   QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                   QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"),
                   keyFile, QStringLiteral("-out"), certFile});
    ASSERT_TRUE(openssl.waitForFinished(30000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
}

class HttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        corvanta::testing::ensureCoreApplication();
        makeCertificate(dir.filePath(QStringLiteral("trusted.pem")),
                        dir.filePath(QStringLiteral("trusted.key")));
        makeCertificate(dir.filePath(QStringLiteral("stranger.pem")),
                        dir.filePath(QStringLiteral("stranger.key")));
        // The test's CA configuration: the process-wide default trusts the first certificate only.
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(dir.filePath(QStringLiteral("trusted.pem")));
        QSslConfiguration::setDefaultConfiguration(config);
    }

    std::unique_ptr<corvanta::testing::DevServerProcess> serve(const QString& name) {
        return std::make_unique<corvanta::testing::DevServerProcess>(
            QStringList{QStringLiteral("--cert"), dir.filePath(name + QStringLiteral(".pem")),
                        QStringLiteral("--cert-key"), dir.filePath(name + QStringLiteral(".key"))});
    }

    QTemporaryDir dir;
    TokenManager tokens{[] { return std::make_shared<platform::MemorySecretStore>(); }};
};

TEST_F(HttpsTest, TrustedCertificateWorksAndUntrustedFails) {
    const auto trusted = serve(QStringLiteral("trusted"));
    ASSERT_TRUE(trusted->url().startsWith(QStringLiteral("https://127.0.0.1:")));
    qputenv("CORVANTA_API_BASE_URL", trusted->url().toUtf8());
    ApiClient client(tokens);
    PageRepository pages(client);
    const auto page = corvanta::testing::await(pages.fetchPage(PageType::about));
    EXPECT_EQ(page.title, QStringLiteral("About Corvanta"));

    const auto stranger = serve(QStringLiteral("stranger"));
    qputenv("CORVANTA_API_BASE_URL", stranger->url().toUtf8());
    try {
        corvanta::testing::await(pages.fetchPage(PageType::about));
        ADD_FAILURE() << "an untrusted certificate was accepted";
    } catch (const TransportError& error) {
        EXPECT_EQ(error.code(), QNetworkReply::SslHandshakeFailedError);
    }
    EXPECT_TRUE(stranger->requests().empty());  // nothing reached the handler
}

}  // namespace
}  // namespace corvanta::backend
