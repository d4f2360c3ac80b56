// The client against a real corvanta-devserver on loopback.
#include <openssl/evp.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include "backend/device_repository.h"
#include "backend/endpoints.h"
#include "backend/index_repository.h"
#include "backend/page_repository.h"
#include "backend_fixture.h"

namespace corvanta::backend {
namespace {

using corvanta::testing::await;

bool waitUntil(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(10000);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// The first nonce from `from` on whose digest starts with a zero hex digit (difficulty 1).
std::uint64_t solve(const QString& seed, std::uint64_t from = 0) {
    for (std::uint64_t nonce = from;; ++nonce) {
        const QByteArray message = seed.toUtf8() + QByteArray::number(quint64(nonce));
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(message.constData(), std::size_t(message.size()), digest, &length, EVP_sha256(),
                   nullptr);
        if ((digest[0] >> 4) == 0) {
            return nonce;
        }
    }
}

class ApiClientTest : public BackendFixture {};

TEST_F(ApiClientTest, WireFormOfEveryRequest) {
    signIn();
    const std::string token = tokens->currentToken()->toStdString();
    DeviceRepository devices(*client);
    const auto device = await(devices.registerDevice(QStringLiteral("S/N 1"), QStringLiteral("Mac"),
                                                     QStringLiteral("M1")));
    await(client->requestEmpty(DeviceEndpoint::checkApiKey(server->demoKey(), device.id)));
    const auto task = await(devices.fetchTask(device.id));
    ASSERT_TRUE(task.seed);
    const std::uint64_t nonce = solve(*task.seed);
    await(client->requestEmpty(
        DeviceEndpoint::pullTask(task.taskId, QString::number(quint64(nonce)))));
    await(client->requestEmpty(DeviceEndpoint::report(device.id, QStringLiteral("log line"))));
    IndexRepository index(*client);
    EXPECT_FALSE(await(index.checkVersion(QStringLiteral("1.0.0+b"))));
    PageRepository pages(*client);
    await(pages.fetchPage(PageType::terms));
    auth->signOut();
    ASSERT_TRUE(waitUntil([&] { return !requestsTo("/api/user/logout").empty(); }));

    const std::string id = std::to_string(device.id);
    struct Expected {
        std::string method, path, body, query;
        bool withToken;
    };
    const std::vector<Expected> expected{
        {"POST", "/api/user/keyLogin", "api_key=corvanta-demo-key", "", false},
        {"GET", "/api/token/check", "", "", true},
        {"POST", "/api/device/init", "cpu=M1&name=Mac&sn=S%2FN+1", "", true},
        {"POST", "/api/device/checkApiKey", "api_key=corvanta-demo-key&device_id=" + id, "", true},
        {"POST", "/api/device/getTask", "device_id=" + id, "", true},
        {"POST", "/api/device/pullTask",
         "result=" + std::to_string(nonce) + "&task_id=" + task.taskId.toStdString(), "", true},
        {"POST", "/api/device/report", "device_id=" + id + "&log=log+line", "", true},
        {"GET", "/api/index/version", "", "version=1.0.0%2Bb", true},
        {"GET", "/api/page/detail", "", "type=terms", true},
        {"POST", "/api/user/logout", "", "", false},
    };
    const auto seen = server->requests();
    ASSERT_EQ(seen.size(), expected.size()) << seen.dump(1);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& e = expected[i];
        const auto& s = seen[i];
        SCOPED_TRACE(e.path);
        EXPECT_EQ(s["method"], e.method);
        EXPECT_EQ(s["path"], e.path);
        EXPECT_EQ(s["body"], e.body);
        EXPECT_EQ(s["query"], e.query);
        EXPECT_EQ(s["headers"]["accept"], "application/json");
        EXPECT_EQ(s["headers"]["accept-language"], "en");
        EXPECT_EQ(s["headers"].contains("token"), e.withToken);
        if (e.withToken) {
            EXPECT_EQ(s["headers"]["token"], token);
        }
        EXPECT_EQ(s["headers"].value("content-type", ""),
                  e.body.empty() ? "" : "application/x-www-form-urlencoded");
    }
    const auto issued = server->tasks();
    ASSERT_EQ(issued.size(), 1u);
    EXPECT_EQ(issued[0]["accepted"], nonce);
}

TEST_F(ApiClientTest, EnvelopeOutcomes) {
    const auto fault = [&](nlohmann::json change) {
        change["path"] = "/api/index/recent";
        server->addFault(change);
    };
    const auto list = [&] {
        return client->request<std::vector<WireSignInRecord>>(IndexEndpoint::recent());
    };
    const auto optional = [&] {
        return client->requestOptional<std::vector<WireSignInRecord>>(IndexEndpoint::recent());
    };
    const auto empty = [&] { return client->requestEmpty(IndexEndpoint::recent()); };

    EXPECT_EQ(await(list()).size(), 7u);
    for (const char* body : {R"({"code":1,"msg":"ok","data":null})", R"({"code":1,"msg":"ok"})"}) {
        fault({{"body", body}});
        const auto error = failure<ApiError>(list());
        EXPECT_EQ(error.kind(), ApiError::Kind::serverError);
        EXPECT_TRUE(error.isEmptyData());
        fault({{"body", body}});
        EXPECT_FALSE(await(optional()));
        fault({{"body", body}});
        EXPECT_NO_THROW(await(empty()));
    }
    for (const char* data : {"{}", "[1]", "\"x\"", "7"}) {
        fault({{"body", std::string(R"({"code":1,"msg":"ok","data":)") + data + "}"}});
        EXPECT_NO_THROW(await(empty())) << data;
    }

    fault({{"body", R"({"code":401,"msg":"signed out","data":null})"}});
    EXPECT_EQ(apiFailure(empty()), ApiError::Kind::unauthorized);
    fault({{"status", 401}});
    EXPECT_EQ(failure<ApiError>(optional()).kind(), ApiError::Kind::unauthorized);
    fault({{"code", 500}, {"msg", "busy"}});
    const auto busy = failure<ApiError>(list());
    EXPECT_EQ(busy.message(), QStringLiteral("busy"));
    EXPECT_FALSE(busy.isEmptyData());
    fault({{"status", 502}});
    const auto http = failure<ApiError>(list());
    EXPECT_EQ(http.kind(), ApiError::Kind::httpError);
    EXPECT_EQ(http.statusCode(), 502);
    EXPECT_EQ(http.data(), QByteArray("injected HTTP 502"));

    for (const char* reply : {"malformed", "truncated"}) {
        fault({{"reply", reply}});
        EXPECT_EQ(apiFailure(empty()), ApiError::Kind::decodingFailed) << reply;
    }
    for (const char* body : {R"({"code":1,"msg":"ok","data":{"x":1}})",
                             R"({"code":1,"msg":"ok","data":[{"sDate":1,"award":1}]})"}) {
        fault({{"body", body}});
        EXPECT_EQ(failure<ApiError>(list()).kind(), ApiError::Kind::decodingFailed) << body;
    }
    fault({{"body", R"({"code":"1","msg":"ok"})"}});
    EXPECT_EQ(apiFailure(empty()), ApiError::Kind::decodingFailed);

    for (const char* reply : {"oversized", "oversized-declared"}) {
        fault({{"reply", reply}});
        EXPECT_EQ(apiFailure(empty()), ApiError::Kind::invalidResponse) << reply;
    }
    // Redirects stay within the backend's origin (another origin: tests/integration/app).
    fault({{"redirect", server->url().toStdString() + "/api/index/recent"}});
    EXPECT_EQ(await(list()).size(), 7u);
    fault({{"redirect", "http://192.0.2.1/api/index/recent"}});
    EXPECT_EQ(apiFailure(empty()), ApiError::Kind::invalidResponse);

    // A dropped connection fails the request, and not as a cancellation or a time-out. Qt mostly
    // reports the closed connection, but it may also send a GET again on a fresh connection (up to
    // twice, so three drops are set up), or finish the reply empty, which fails as a body that
    // cannot be decoded; which one depends on when it notices the close.
    fault({{"reply", "drop"}, {"count", 3}});
    const std::exception_ptr dropped = corvanta::testing::failureOf(empty());
    server->clearFaults();
    ASSERT_TRUE(dropped);
    try {
        std::rethrow_exception(dropped);
    } catch (const TransportError& error) {
        EXPECT_FALSE(error.isCancellation());
        EXPECT_FALSE(error.isTimeout());
    } catch (const ApiError& error) {
        EXPECT_EQ(error.kind(), ApiError::Kind::decodingFailed);
    }

    client->setTimeouts({std::chrono::milliseconds(200), std::chrono::milliseconds(5000)});
    fault({{"delayMs", 1200}});
    EXPECT_TRUE(failure<TransportError>(empty()).isTimeout());
    client->setTimeouts({std::chrono::milliseconds(5000), std::chrono::milliseconds(200)});
    fault({{"delayMs", 1200}});
    EXPECT_TRUE(failure<TransportError>(empty()).isTimeout());
    client->setTimeouts({});
    fault({{"delayMs", 50}});
    EXPECT_EQ(await(list()).size(), 7u);  // a delay alone lets the request through afterwards
}

TEST_F(ApiClientTest, StopAbortsTheTransfer) {
    server->addFault({{"path", "/api/index/recent"}, {"delayMs", 3000}});
    std::stop_source stop;
    QTimer::singleShot(100, [&] { stop.request_stop(); });
    EXPECT_TRUE(
        failure<TransportError>(client->requestEmpty(IndexEndpoint::recent(), stop.get_token()))
            .isCancellation());
    // Stopped before it starts: nothing goes out.
    server->clearRequests();
    EXPECT_TRUE(
        failure<TransportError>(client->requestEmpty(IndexEndpoint::index(), stop.get_token()))
            .isCancellation());
    EXPECT_TRUE(server->requests().empty());
    // A stop from another thread is carried over to the main thread.
    server->addFault({{"path", "/api/index/recent"}, {"delayMs", 3000}});
    std::stop_source other;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        other.request_stop();
    });
    EXPECT_TRUE(
        failure<TransportError>(client->requestEmpty(IndexEndpoint::recent(), other.get_token()))
            .isCancellation());
    stopper.join();
}

TEST_F(ApiClientTest, DeviceRepositoryRegistersAndSubmits) {
    signIn();
    DeviceRepository devices(*client);
    std::vector<bool> loading;
    QObject::connect(&devices, &DeviceRepository::isLoadingChanged,
                     [&] { loading.push_back(devices.isLoading()); });
    const auto device = await(
        devices.registerDevice(QStringLiteral("sn"), QStringLiteral("n"), QStringLiteral("c")));
    EXPECT_EQ(loading, (std::vector<bool>{true, false}));
    EXPECT_EQ(device.ipAddress, QStringLiteral("127.0.0.1"));
    EXPECT_EQ(await(devices.registerDevice(QStringLiteral("sn"), QStringLiteral("n"),
                                           QStringLiteral("c")))
                  .id,
              device.id);

    server->addFault({{"path", "/api/device/init"},
                      {"body", R"({"code":1,"msg":"ok","data":{"id":"12","ip_address":null}})"}});
    EXPECT_EQ(await(devices.registerDevice(QStringLiteral("x"), {}, {})),
              (DeviceInitResponse{12, {}}));
    server->addFault({{"path", "/api/device/init"}, {"code", 0}, {"msg", "no"}});
    EXPECT_EQ(failure<ApiError>(devices.registerDevice(QStringLiteral("x"), {}, {})).message(),
              QStringLiteral("no"));
    EXPECT_FALSE(devices.isLoading());

    const auto task = await(devices.fetchTask(device.id));
    EXPECT_EQ(task.difficulty, 1);
    EXPECT_EQ(task.nonceUpperBound, 42949672960LL);
    const QString good = QString::number(quint64(solve(*task.seed)));
    EXPECT_EQ(failure<ApiError>(client->requestEmpty(DeviceEndpoint::pullTask(
                                    task.taskId, good + QStringLiteral("x"))))
                  .kind(),
              ApiError::Kind::serverError);
    await(client->requestEmpty(DeviceEndpoint::pullTask(task.taskId, good)));
    // The accepted nonce again (a client whose reply was lost) is answered the same; another
    // nonce for the solved task is refused.
    await(client->requestEmpty(DeviceEndpoint::pullTask(task.taskId, good)));
    const QString other = QString::number(quint64(solve(*task.seed, good.toULongLong() + 1)));
    EXPECT_EQ(failure<ApiError>(client->requestEmpty(DeviceEndpoint::pullTask(task.taskId, other)))
                  .message(),
              QStringLiteral("task already solved"));
    EXPECT_EQ(server->tasks()[0]["submitted"].size(), 4u);
    EXPECT_EQ(server->tasks()[0]["accepted"].get<std::uint64_t>(), good.toULongLong());
    EXPECT_EQ(failure<ApiError>(devices.fetchTask(device.id + 1000)).kind(),
              ApiError::Kind::serverError);
}

TEST_F(ApiClientTest, ContentRepositoriesPublish) {
    IndexRepository index(*client);
    int modelSignals = 0;
    QObject::connect(&index, &IndexRepository::modelsChanged, [&] { ++modelSignals; });
    await(index.fetchIndex());
    EXPECT_EQ(index.tokenScarcity(), 62);
    ASSERT_TRUE(index.notice());
    EXPECT_EQ(index.notice()->id, 3);
    EXPECT_EQ(index.recentSignIns().size(), 7);
    ASSERT_EQ(index.modelTops().size(), 4);
    EXPECT_TRUE(
        index.modelTops()[0].iconSrc.startsWith(server->url() + QStringLiteral("/static/icons/")));
    ASSERT_EQ(index.models().size(), 4);
    EXPECT_DOUBLE_EQ(index.models()[1].pricePerMillionTokens, 0.6);
    EXPECT_FALSE(index.models()[3].speedTokensPerSecond);
    EXPECT_EQ(modelSignals, 1);
    EXPECT_EQ(index.property("recentSignIns").toList().size(), 7);
    EXPECT_FALSE(index.isLoading());

    // A ranking row without a name is listed, but ranks no model.
    server->addFault({{"path", "/api/index/index"},
                      {"body", R"({"code":1,"msg":"ok","data":{"modelTops":[)"
                               R"({"model":"","featuresContextWindow":"","featuresCreator":"c",)"
                               R"("iconSrc":"","intelligence":"","price":"","speed":"",)"
                               R"("latency":""},{"model":"m","featuresContextWindow":"8k",)"
                               R"("featuresCreator":"c","iconSrc":"","intelligence":"7",)"
                               R"("price":"$0.15","speed":"","latency":""}]}})"}});
    await(index.fetchIndex());
    EXPECT_EQ(index.modelTops().size(), 2);
    ASSERT_EQ(index.models().size(), 1);
    EXPECT_EQ(index.models()[0].identity(), QStringLiteral("c::m"));
    EXPECT_DOUBLE_EQ(index.models()[0].pricePerMillionTokens, 0.15);

    server->addFault(
        {{"path", "/api/index/index"},
         {"body", R"({"code":1,"msg":"ok","data":[{"s_date":"2025-03-07","award":9}]})"}});
    await(index.fetchIndex());
    EXPECT_EQ(index.tokenScarcity(), 0);
    EXPECT_FALSE(index.notice());
    EXPECT_EQ(index.recentSignIns(), (QList<SignInRecord>{{QStringLiteral("2025-03-07"), 9}}));
    EXPECT_TRUE(index.models().isEmpty());

    server->addFault({{"path", "/api/index/index"}, {"status", 500}});
    EXPECT_EQ(failure<ApiError>(index.fetchIndex()).kind(), ApiError::Kind::httpError);
    EXPECT_EQ(index.recentSignIns().size(), 1);  // a failure publishes nothing
    EXPECT_FALSE(index.isLoading());

    await(index.fetchRecent());
    EXPECT_EQ(index.recentSignIns().size(), 7);
    await(index.fetchNotices());
    EXPECT_EQ(index.notices().size(), 2);

    EXPECT_FALSE(await(index.checkVersion(QStringLiteral("1.0.0"))));
    server->configure({{"versionReply", "optional"}, {"latestVersion", "2.0.0"}});
    auto update = await(index.checkVersion(QStringLiteral("1.0.0")));
    ASSERT_TRUE(update);
    EXPECT_FALSE(update->enforce);
    EXPECT_EQ(update->newVersion, QStringLiteral("2.0.0"));
    EXPECT_TRUE(update->downloadUrl);
    server->configure({{"versionReply", "mandatory"}});
    EXPECT_TRUE(await(index.checkVersion(QStringLiteral("1.0.0")))->enforce);

    PageRepository pages(*client);
    const auto terms = await(pages.fetchPage(PageType::terms));
    EXPECT_EQ(terms.title, QStringLiteral("Terms of use"));
    EXPECT_TRUE(terms.content->contains(u"<h2>"));
    // A dropped connection fails the load, as a closed connection or as an empty reply (see
    // EnvelopeOutcomes); three drops, since Qt may send the GET again twice.
    server->addFault({{"path", "/api/page/detail"}, {"reply", "drop"}, {"count", 3}});
    EXPECT_TRUE(corvanta::testing::failureOf(pages.fetchPage(PageType::about)));
    server->clearFaults();
    EXPECT_FALSE(pages.isLoading());
}

// Found by fuzzing: a fault whose numbers do not fit their fields is refused with a 400, and the
// server goes on taking faults.
TEST_F(ApiClientTest, DevserverRefusesFaultNumbersOutOfRange) {
    for (const nlohmann::json& bad :
         {nlohmann::json{{"path", "/api/index/recent"}, {"count", 2.5e119}},
          nlohmann::json{{"path", "/api/index/recent"}, {"status", 1e10}},
          nlohmann::json{{"path", "/api/index/recent"}, {"delayMs", 0.5}},
          nlohmann::json{{"path", "/api/index/recent"}, {"code", "500"}}}) {
        EXPECT_THROW(server->addFault(bad), std::runtime_error) << bad.dump();
    }
    server->addFault({{"path", "/api/index/recent"}, {"status", 502}});
    EXPECT_EQ(
        failure<ApiError>(client->request<std::vector<WireSignInRecord>>(IndexEndpoint::recent()))
            .statusCode(),
        502);
}

}  // namespace
}  // namespace corvanta::backend
