// Table-driven decoding of every reply record, through the envelope (keys converted from
// snake_case as on the wire).
#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <random>

#include "backend/auth_records.h"
#include "backend/content_records.h"
#include "backend/device_records.h"
#include "backend/errors.h"
#include "backend/json_decoding.h"

namespace corvanta::backend {
namespace {

template <class T>
T decodeData(const std::string& data) {
    const std::string body = R"({"code":1,"msg":"ok","data":)" + data + "}";
    const ApiResponse envelope = ApiResponse::parse(QByteArray::fromStdString(body));
    return JsonDecode<T>::decode(envelope.data, QStringLiteral("data"));
}

template <class T>
DecodingError decodingFailure(const std::string& data) {
    try {
        decodeData<T>(data);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "decoded: " << data;
    return DecodingError(DecodingError::Kind::dataCorrupted, {}, {});
}

TEST(Decoders, DeviceInitResponse) {
    const std::pair<const char*, qint64> accepted[] = {
        {R"({"id":42})", 42},
        {R"({"id":"42"})", 42},
        {R"({"id":"+42"})", 42},
        {R"({"id":"-7"})", -7},
        {R"({"id":9223372036854775807})", 9223372036854775807LL},
    };
    for (const auto& [json, id] : accepted) {
        EXPECT_EQ(decodeData<DeviceInitResponse>(json).id, id) << json;
    }
    for (const char* json :
         {R"({"id":""})", R"({"id":4.2})", R"({"id":" 42"})", R"({"id":"42a"})", R"({"id":true})",
          R"({})", R"({"id":"9223372036854775808"})", R"({"id":9223372036854775808})"}) {
        const DecodingError error = decodingFailure<DeviceInitResponse>(json);
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch) << json;
        EXPECT_EQ(error.path(), QStringLiteral("data.id"));
    }
    EXPECT_EQ(decodeData<DeviceInitResponse>(R"({"id":"12","ip_address":null})"),
              (DeviceInitResponse{12, QString()}));
    EXPECT_EQ(decodeData<DeviceInitResponse>(R"({"id":1,"ip_address":"10.0.0.2"})").ipAddress,
              QStringLiteral("10.0.0.2"));
    EXPECT_EQ(decodeData<DeviceInitResponse>(R"({"id":1,"ipAddress":7})").ipAddress, QString());
}

TEST(Decoders, DeviceTaskResponse) {
    const auto full = decodeData<DeviceTaskResponse>(
        R"({"task_id":"T9","begin_time":1700000000,"seed":"abc","difficulty":3,)"
        R"("nonce_upper_bound":18446744073709551})");
    EXPECT_EQ(full, (DeviceTaskResponse{QStringLiteral("T9"), 1700000000, QStringLiteral("abc"), 3,
                                        18446744073709551LL}));
    const auto bare =
        decodeData<DeviceTaskResponse>(R"({"taskId":"T1","beginTime":5,"seed":null})");
    EXPECT_FALSE(bare.seed);
    EXPECT_FALSE(bare.difficulty);
    EXPECT_FALSE(bare.nonceUpperBound);
    EXPECT_EQ(decodingFailure<DeviceTaskResponse>(R"({"taskId":"T1"})").kind(),
              DecodingError::Kind::keyNotFound);
    for (const char* json : {R"({"taskId":1,"beginTime":5})", R"({"taskId":"T","beginTime":"5"})",
                             R"({"taskId":"T","beginTime":5,"seed":5})",
                             R"({"taskId":"T","beginTime":5,"difficulty":"3"})",
                             R"({"taskId":"T","beginTime":5,"nonceUpperBound":1.5})",
                             R"({"taskId":"T","beginTime":5,"nonceUpperBound":-1e300})"}) {
        EXPECT_EQ(decodingFailure<DeviceTaskResponse>(json).kind(),
                  DecodingError::Kind::typeMismatch)
            << json;
    }
    // Upper bounds past what the task database stores are clamped to 2^63 - 1, not refused.
    const std::pair<const char*, qint64> bounds[] = {
        {"9223372036854775807", std::numeric_limits<qint64>::max()},
        {"9223372036854775808", std::numeric_limits<qint64>::max()},
        {"18446744073709551615", std::numeric_limits<qint64>::max()},
        {"1e30", std::numeric_limits<qint64>::max()},
        {"-5", -5},
    };
    for (const auto& [text, bound] : bounds) {
        const std::string json =
            std::string(R"({"taskId":"T","beginTime":5,"nonceUpperBound":)") + text + "}";
        EXPECT_EQ(decodeData<DeviceTaskResponse>(json.c_str()).nonceUpperBound, bound) << text;
    }
}

TEST(Decoders, KeyLoginResponseShapes) {
    struct Case {
        const char* json;
        std::optional<QString> token;
        std::optional<qint64> expireTime;
        std::optional<qint64> expiresIn;
    };
    const Case cases[] = {
        {R"({"userinfo":{"accessToken":"A","expiretime":100}})", QStringLiteral("A"), 100,
         std::nullopt},
        {R"({"accessToken":"TOP"})", QStringLiteral("TOP"), std::nullopt, std::nullopt},
        {R"({"token":"T","userInfo":{"token":"U","expiretime":5,"expires_in":60}})",
         QStringLiteral("T"), 5, 60},
        {R"({"userinfo":null,"userInfo":{"token":"U"}})", QStringLiteral("U"), std::nullopt,
         std::nullopt},
        {R"({"userinfo":{"token":"U","accessToken":"A"}})", QStringLiteral("U"), std::nullopt,
         std::nullopt},
        {R"({})", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto response = decodeData<KeyLoginResponse>(c.json);
        EXPECT_EQ(response.token, c.token) << c.json;
        EXPECT_EQ(response.expireTimeUnix, c.expireTime) << c.json;
        EXPECT_EQ(response.expiresIn, c.expiresIn) << c.json;
    }
    for (const char* json : {R"({"token":5})", R"({"userinfo":"x"})",
                             R"({"userinfo":{"expiretime":"5"}})", R"({"accessToken":[]})"}) {
        decodingFailure<KeyLoginResponse>(json);
    }
}

TEST(Decoders, TokenCheckResponseKeysAndLenientIntegers) {
    const std::pair<const char*, qint64> cases[] = {
        {R"({"expires_in":3600})", 3600},
        {R"({"ttl":"120"})", 120},
        {R"({"remaining_seconds":"+5","ttl":9})", 5},
        {R"({"remaining":true,"ttl":"7"})", 7},
        {R"({"expiresIn":"soon","remaining":1.5,"ttl":"-3"})", -3},
        {R"({})", 0},
        {R"({"ttl":" 5"})", 0},
        // Ten years at most: the expiry must stay a date.
        {R"({"expires_in":9223372036854775807})", TokenCheckResponse::kMaxExpiresInSeconds},
        {R"({"ttl":"315360001"})", TokenCheckResponse::kMaxExpiresInSeconds},
        {R"({"ttl":"315360000"})", 315360000},
    };
    for (const auto& [json, seconds] : cases) {
        EXPECT_EQ(decodeData<TokenCheckResponse>(json).expiresIn, seconds) << json;
    }
}

TEST(Decoders, TokenRefreshResponse) {
    EXPECT_EQ(decodeData<TokenRefreshResponse>(R"({"token":" N "})").token, QStringLiteral(" N "));
    EXPECT_EQ(decodeData<TokenRefreshResponse>(R"({"userinfo":{"access_token":"P"}})").token,
              QStringLiteral("P"));
    EXPECT_EQ(
        decodeData<TokenRefreshResponse>(R"({"accessToken":"A","userinfo":{"token":"P"}})").token,
        QStringLiteral("A"));
    for (const char* json : {R"({})", R"({"token":"  \n"})", R"({"userInfo":{}})"}) {
        const DecodingError error = decodingFailure<TokenRefreshResponse>(json);
        EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound);
        EXPECT_EQ(error.path(), QStringLiteral("data.token"));
    }
    decodingFailure<TokenRefreshResponse>(R"({"token":1})");
}

TEST(Decoders, IndexResponseShapes) {
    const auto bare = decodeData<IndexResponse>(R"([{"s_date":"2025-03-07","award":4}])");
    EXPECT_EQ(bare.tokenScarcity, 0);
    EXPECT_FALSE(bare.notice);
    ASSERT_EQ(bare.recent.size(), 1u);
    EXPECT_EQ(bare.recent[0].sDate, QStringLiteral("2025-03-07"));
    EXPECT_TRUE(bare.modelTops.empty());

    const auto partial = decodeData<IndexResponse>(R"({"token_scarcity":7,"recent":null})");
    EXPECT_EQ(partial.tokenScarcity, 7);
    EXPECT_FALSE(partial.notice);
    EXPECT_TRUE(partial.recent.empty());

    const auto full = decodeData<IndexResponse>(
        R"({"notice":{"id":1,"title":"t","content":"<p>c</p>","createtime":10},)"
        R"("model_tops":[{"model":"m","features_context_window":"8k","features_creator":"c",)"
        R"("icon_src":"i","intelligence":"1","price":"$1","speed":"2","latency":"3"}]})");
    ASSERT_TRUE(full.notice);
    EXPECT_EQ(full.notice->createtime, 10);
    ASSERT_EQ(full.modelTops.size(), 1u);
    EXPECT_FALSE(full.modelTops[0].responseTimeMilliseconds);

    for (const char* json :
         {R"([{"sDate":"x"}])", R"({"tokenScarcity":"7"})", R"({"notice":{"id":1}})",
          R"({"recent":{}})", R"({"modelTops":[{"model":"m"}]})", R"("text")"}) {
        decodingFailure<IndexResponse>(json);
    }
}

// The ranking's figures arrive as display text and are read into numbers as the row decodes.
TEST(Decoders, ModelRankingReadsItsFigures) {
    const auto row = [](const char* name, const char* intelligence, const char* price,
                        const char* speed, const char* latency,
                        std::optional<const char*> response) {
        nlohmann::json json = {{"model", name},
                               {"features_context_window", "128k"},
                               {"features_creator", "Lab"},
                               {"icon_src", "i"},
                               {"intelligence", intelligence},
                               {"price", price},
                               {"speed", speed},
                               {"latency", latency}};
        if (response) {
            json["end_to_end_response_time"] = *response;
        }
        return decodeData<ModelRanking>(json.dump());
    };
    const auto aurora = row("Aurora", "71", " $1,234.50\t", "182.4", "0.41", "1e3");
    EXPECT_EQ(aurora.name, QStringLiteral("Aurora"));
    EXPECT_EQ(aurora.contextWindow, QStringLiteral("128k"));
    EXPECT_EQ(aurora.intelligenceScore, 71);
    EXPECT_DOUBLE_EQ(aurora.pricePerMillionTokens, 1234.5);
    EXPECT_EQ(aurora.speedTokensPerSecond, 182.4);
    EXPECT_EQ(aurora.latencyMilliseconds, 0.41);
    EXPECT_EQ(aurora.responseTimeMilliseconds, 1000.0);
    EXPECT_EQ(aurora.identity(), QStringLiteral("Lab::Aurora"));

    const auto odd = row("Delta", "71.5", "free", "123 tokens/s", " 1", "inf");
    EXPECT_EQ(odd.intelligenceScore, 0);
    EXPECT_EQ(odd.pricePerMillionTokens, 0.0);
    EXPECT_FALSE(odd.speedTokensPerSecond);
    EXPECT_FALSE(odd.latencyMilliseconds);
    EXPECT_FALSE(odd.responseTimeMilliseconds);
    EXPECT_DOUBLE_EQ(row("C", "", "$0.15", "", "", std::nullopt).pricePerMillionTokens, 0.15);
    EXPECT_FALSE(row("C", "", "$0.15", "", "", std::nullopt).responseTimeMilliseconds);
    EXPECT_TRUE(row("", "1", "$1", "1", "1", "1").name.isEmpty());

    // The texts themselves must still be texts.
    EXPECT_EQ(decodingFailure<ModelRanking>(R"({"model":"m","featuresContextWindow":"8k",)"
                                            R"("featuresCreator":"c","iconSrc":"i",)"
                                            R"("intelligence":71,"price":"$1","speed":"2",)"
                                            R"("latency":"3"})")
                  .description(),
              QStringLiteral("data.intelligence: expected text, got 71"));
}

TEST(Decoders, NoticeListVersionAndPage) {
    const auto list = decodeData<NoticeListResponse>(
        R"({"code":1,"msg":"","time":"1700000000","data":[{"id":2,"title":"a","content":"b"}]})");
    ASSERT_EQ(list.data.size(), 1u);
    EXPECT_FALSE(list.data[0].createtime);
    decodingFailure<NoticeListResponse>(R"({"code":1,"msg":"","time":1700000000,"data":[]})");
    decodingFailure<NoticeListResponse>(R"({"code":1,"msg":"","time":"1"})");

    const auto version = decodeData<VersionUpdateResponse>(
        R"({"enforce":2,"version":"1.0","newversion":"1.1","downloadurl":"u","packagesize":"1 MB","upgradetext":"t"})");
    EXPECT_EQ(version.newVersion, QStringLiteral("1.1"));
    EXPECT_EQ(version.downloadUrl, QStringLiteral("u"));
    decodingFailure<VersionUpdateResponse>(
        R"({"enforce":1,"version":"1.0","newVersion":"1.1","downloadurl":"u","packagesize":"","upgradetext":""})");

    const auto page = decodeData<PageDetailResponse>(R"({"title":null})");
    EXPECT_FALSE(page.title);
    EXPECT_FALSE(page.content);
    decodingFailure<PageDetailResponse>(R"({"content":["x"]})");
}

TEST(Decoders, EnvelopeRequiresCodeAndMessage) {
    EXPECT_EQ(ApiResponse::parse(R"({"code":401,"msg":"x"})").code, 401);
    EXPECT_TRUE(ApiResponse::parse(R"({"code":1,"msg":"x","data":null})").data.is_null());
    for (const char* body : {R"({"msg":"x"})", R"({"code":"1","msg":"x"})", R"({"code":1})",
                             R"({"code":1,"msg":2})", R"([1])", "", "null"}) {
        EXPECT_THROW(ApiResponse::parse(body), DecodingError) << body;
    }
}

TEST(Decoders, GarbageAndTruncatedInputsFailCleanly) {
    const std::string valid =
        R"({"code":1,"msg":"ok","data":{"task_id":"T1","begin_time":1,"seed":"s","difficulty":2}})";
    for (std::size_t cut = 0; cut < valid.size(); ++cut) {
        EXPECT_THROW(
            {
                const ApiResponse envelope =
                    ApiResponse::parse(QByteArray::fromStdString(valid.substr(0, cut)));
                DeviceTaskResponse::decode(envelope.data, QStringLiteral("data"));
            },
            DecodingError)
            << cut;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray garbage(int(random() % 200), '\0');
        for (auto& byte : garbage) {
            byte = char(random());
        }
        if (round % 3 == 0) {
            garbage.prepend("{\"code\":1,\"msg\":\"\",\"data\":");
        }
        try {
            const ApiResponse envelope = ApiResponse::parse(garbage);
            IndexResponse::decode(envelope.data, QStringLiteral("data"));
        } catch (const DecodingError&) {
        }
    }
    // Deep nesting is refused up front instead of recursing through it.
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_THROW(ApiResponse::parse(deep), DecodingError);
    EXPECT_THROW(ApiResponse::parse(QByteArray("{\"code\":1,\"msg\":\"\xff\"}")), DecodingError);
}

// Every decoding error says, in this client's words, which field, what was expected and what came.
TEST(Decoders, ErrorsNameTheFieldWhatWasExpectedAndWhatCame) {
    const QString anyWholeNumber =
        QStringLiteral("a whole number from -9223372036854775808 to 9223372036854775807");
    struct Case {
        std::function<DecodingError()> fail;
        DecodingError::Kind kind;
        QString text;
    };
    const auto task = [](const char* data) {
        return [data] { return decodingFailure<DeviceTaskResponse>(data); };
    };
    const auto reply = [](QByteArray body) {
        return [body] {
            try {
                ApiResponse::parse(body);
            } catch (const DecodingError& error) {
                return error;
            }
            ADD_FAILURE() << "parsed: " << body.toStdString();
            return DecodingError(DecodingError::Kind::dataCorrupted, {}, {});
        };
    };
    const std::vector<Case> cases = {
        // A value of the wrong type: each kind of JSON value as it came.
        // (An upper bound that large is clamped instead: see DeviceTaskResponse.)
        {task(R"({"taskId":"T","beginTime":5,"difficulty":18446744073709551616})"),
         DecodingError::Kind::typeMismatch,
         "data.difficulty: expected " + anyWholeNumber + ", got 1.8446744073709552e19"},
        {task(R"({"taskId":"T","beginTime":5,"difficulty":18446744073709551615})"),
         DecodingError::Kind::typeMismatch,
         "data.difficulty: expected " + anyWholeNumber + ", got 18446744073709551615"},
        {task(R"({"taskId":"T","beginTime":5,"nonceUpperBound":1.5})"),
         DecodingError::Kind::typeMismatch,
         "data.nonceUpperBound: expected " + anyWholeNumber + ", got 1.5"},
        {task(R"({"taskId":"T","beginTime":5,"difficulty":"3"})"),
         DecodingError::Kind::typeMismatch,
         "data.difficulty: expected " + anyWholeNumber + ", got \"3\""},
        {task(R"({"taskId":-12,"beginTime":5})"), DecodingError::Kind::typeMismatch,
         QStringLiteral("data.taskId: expected text, got -12")},
        {task(R"({"taskId":true,"beginTime":5})"), DecodingError::Kind::typeMismatch,
         QStringLiteral("data.taskId: expected text, got true")},
        {task(R"({"taskId":"T","beginTime":5,"seed":[1,2]})"), DecodingError::Kind::typeMismatch,
         QStringLiteral("data.seed: expected text, got a list of 2 items")},
        {task(R"({"taskId":"T","beginTime":5,"seed":{"a":1}})"), DecodingError::Kind::typeMismatch,
         QStringLiteral("data.seed: expected text, got an object")},
        {task(R"("just text that goes on for quite a bit longer than anyone needs")"),
         DecodingError::Kind::typeMismatch,
         QStringLiteral("data: expected an object, got \"just text that goes on for quite a bit "
                        "l\u2026\"")},
        {[] { return decodingFailure<DeviceInitResponse>(R"({"id":4.2})"); },
         DecodingError::Kind::typeMismatch,
         "data.id: expected " + anyWholeNumber + ", as a number or as text, got 4.2"},
        {[] {
             return decodingFailure<NoticeListResponse>(R"({"code":1,"msg":"","time":"1",)"
                                                        R"("data":[{"id":1,"title":"t",)"
                                                        R"("content":"c"},{"id":"2"}]})");
         },
         DecodingError::Kind::typeMismatch,
         "data.data[1].id: expected " + anyWholeNumber + ", got \"2\""},
        {[] { return decodingFailure<std::vector<WireNotice>>("7"); },
         DecodingError::Kind::typeMismatch, QStringLiteral("data: expected a list, got 7")},
        // A value that is null, and a key that is not there at all.
        {task(R"({"taskId":null,"beginTime":5})"), DecodingError::Kind::valueNotFound,
         QStringLiteral("data.taskId: expected text, got null")},
        {task(R"({"taskId":"T"})"), DecodingError::Kind::keyNotFound,
         "data.beginTime: expected " + anyWholeNumber + ", got nothing"},
        {[] { return decodingFailure<NoticeListResponse>(R"({"code":1,"msg":"","time":"1"})"); },
         DecodingError::Kind::keyNotFound,
         QStringLiteral("data.data: expected a list, got nothing")},
        {[] { return decodingFailure<DeviceInitResponse>(R"({"id":null})"); },
         DecodingError::Kind::typeMismatch,
         "data.id: expected " + anyWholeNumber + ", as a number or as text, got null"},
        {[] { return decodingFailure<TokenRefreshResponse>(R"({"token":" "})"); },
         DecodingError::Kind::keyNotFound,
         QStringLiteral(
             "data.token: expected a token (under token, accessToken or userinfo), got \" \"")},
        {reply(R"({"msg":"x"})"), DecodingError::Kind::keyNotFound,
         "code: expected " + anyWholeNumber + ", got nothing"},
        // A body that is no JSON document at all.
        {reply("{\"code\":1,"), DecodingError::Kind::dataCorrupted,
         QStringLiteral("the reply: expected JSON, got text that is not JSON")},
        {reply(""), DecodingError::Kind::dataCorrupted,
         QStringLiteral("the reply: expected JSON, got an empty body")},
        {reply(QByteArray(300, '[') + QByteArray(300, ']')), DecodingError::Kind::dataCorrupted,
         QStringLiteral("the reply: expected JSON nested at most 256 levels deep, got deeper "
                        "nesting")},
    };
    for (const Case& c : cases) {
        const DecodingError error = c.fail();
        EXPECT_EQ(error.kind(), c.kind) << c.text.toStdString();
        EXPECT_EQ(error.description(), c.text);
        EXPECT_EQ(std::string(error.what()), c.text.toStdString());
    }
    // The run log shows it inside the client's own sentence.
    const auto failed = ApiError::decodingFailed(
        decodingFailure<DeviceTaskResponse>(R"({"taskId":"T","beginTime":"soon"})"));
    EXPECT_EQ(failed.description(),
              "The server's reply could not be read (data.beginTime: expected " + anyWholeNumber +
                  ", got \"soon\").");
}

}  // namespace
}  // namespace corvanta::backend
