#include <gtest/gtest.h>

#include "backend/api_client.h"
#include "backend/endpoints.h"
#include "backend/token_manager.h"
#include "platform/memory_secret_store.h"
#include "support/qt_app.h"

namespace corvanta::backend {
namespace {

// An endpoint whose every part a test can set.
class TestEndpoint final : public Endpoint {
public:
    QUrl base{QStringLiteral("https://api.example.org/v1/")};
    std::optional<QByteArray> json;
    std::optional<FormParameters> form;

    QUrl baseUrl() const override { return base; }
    QString path() const override { return QStringLiteral("/api/thing"); }
    HttpMethod method() const override { return HttpMethod::put; }
    std::optional<QByteArray> body() const override { return json; }
    std::optional<FormParameters> formParameters() const override { return form; }
};

class BuildRequest : public ::testing::Test {
protected:
    void SetUp() override { testing::ensureCoreApplication(); }

    TokenManager tokens{[] { return std::make_shared<platform::MemorySecretStore>(); }};
    ApiClient client{tokens};
};

TEST_F(BuildRequest, OnlyHttpsOrLoopbackHttp) {
    TestEndpoint endpoint;
    for (const char* url : {"http://api.example.org", "ftp://127.0.0.1", "http://10.0.0.1:8080",
                            "https://", "not a url", "/relative"}) {
        endpoint.base = QUrl(QString::fromUtf8(url));
        try {
            client.buildRequest(endpoint);
            ADD_FAILURE() << url;
        } catch (const ApiError& error) {
            EXPECT_EQ(error.kind(), ApiError::Kind::invalidUrl) << url;
        }
    }
    for (const char* url : {"http://127.0.0.1:8787", "http://localhost:1", "http://[::1]:9",
                            "https://api.example.org"}) {
        endpoint.base = QUrl(QString::fromUtf8(url));
        EXPECT_NO_THROW(client.buildRequest(endpoint)) << url;
    }
}

TEST_F(BuildRequest, UrlHeadersAndBodies) {
    TestEndpoint endpoint;
    PreparedRequest plain = client.buildRequest(endpoint);
    EXPECT_EQ(plain.request.url().toString(),
              QStringLiteral("https://api.example.org/v1/api/thing"));
    EXPECT_EQ(plain.method, QByteArray("PUT"));
    EXPECT_EQ(plain.request.rawHeader("Accept"), QByteArray("application/json"));
    EXPECT_EQ(plain.request.rawHeader("Accept-Language"), QByteArray("en"));
    EXPECT_FALSE(plain.body);
    EXPECT_FALSE(plain.request.hasRawHeader("Content-Type"));

    endpoint.json = QByteArray("{}");
    endpoint.form = FormParameters{};  // empty: as if absent
    PreparedRequest json = client.buildRequest(endpoint);
    EXPECT_EQ(json.body, QByteArray("{}"));
    EXPECT_EQ(json.request.rawHeader("Content-Type"), QByteArray("application/json"));

    endpoint.form = FormParameters{{QStringLiteral("b"), QStringLiteral("2 3")},
                                   {QStringLiteral("a"), QStringLiteral("1")}};
    PreparedRequest form = client.buildRequest(endpoint);
    EXPECT_EQ(form.body, QByteArray("a=1&b=2+3"));
    EXPECT_EQ(form.request.rawHeader("Content-Type"),
              QByteArray("application/x-www-form-urlencoded"));
}

TEST_F(BuildRequest, QueryValuesKeepPlusSigns) {
    qputenv("CORVANTA_API_BASE_URL", "http://127.0.0.1:1");
    const auto version = client.buildRequest(IndexEndpoint::version(QStringLiteral("1.0.0+b 2")));
    EXPECT_EQ(version.request.url().toString(QUrl::FullyEncoded),
              QStringLiteral("http://127.0.0.1:1/api/index/version?version=1.0.0%2Bb+2"));
    const auto page = client.buildRequest(PageEndpoint::detail(PageType::terms));
    EXPECT_EQ(page.request.url().query(), QStringLiteral("type=terms"));
    EXPECT_EQ(page.method, QByteArray("GET"));
    const auto logout = client.buildRequest(AuthEndpoint::logout());
    EXPECT_EQ(logout.method, QByteArray("POST"));
    EXPECT_FALSE(logout.body);
    qunsetenv("CORVANTA_API_BASE_URL");
    EXPECT_EQ(client.buildRequest(IndexEndpoint::index()).request.url().host(),
              QUrl(QStringLiteral(CORVANTA_API_BASE_URL)).host());
}

}  // namespace
}  // namespace corvanta::backend
