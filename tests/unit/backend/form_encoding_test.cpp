#include <gtest/gtest.h>

#include "backend/endpoints.h"
#include "backend/form_encoding.h"
#include "backend/json_decoding.h"

namespace corvanta::backend {
namespace {

TEST(FormEncoding, EncodesComponentsByteWise) {
    EXPECT_EQ(percentEncodeFormComponent(QStringLiteral("a b&c~")), QStringLiteral("a+b%26c%7E"));
    EXPECT_EQ(percentEncodeFormComponent(QStringLiteral("é")), QStringLiteral("%C3%A9"));
    EXPECT_EQ(percentEncodeFormComponent(QStringLiteral("-._*AZaz09")),
              QStringLiteral("-._*AZaz09"));
    EXPECT_EQ(percentEncodeFormComponent(QStringLiteral("+/=?\n")),
              QStringLiteral("%2B%2F%3D%3F%0A"));
    EXPECT_EQ(percentEncodeFormComponent(QString()), QString());
}

TEST(FormEncoding, SortsPairsByKey) {
    EXPECT_EQ(formEncode({{QStringLiteral("task_id"), QStringLiteral("t 1")},
                          {QStringLiteral("result"), QStringLiteral("a&b")}}),
              QStringLiteral("result=a%26b&task_id=t+1"));
    EXPECT_EQ(formEncode({}), QString());
    const auto init = DeviceEndpoint::initialize(QStringLiteral("S/N 1"), QStringLiteral("Mac"),
                                                 QStringLiteral("M1"));
    EXPECT_EQ(formEncode(*init.formParameters()), QStringLiteral("cpu=M1&name=Mac&sn=S%2FN+1"));
    EXPECT_EQ(formEncode(*DeviceEndpoint::checkApiKey(QStringLiteral("k"), -5).formParameters()),
              QStringLiteral("api_key=k&device_id=-5"));
    EXPECT_EQ(formEncode(*DeviceEndpoint::getTask(0).formParameters()),
              QStringLiteral("device_id=0"));
}

TEST(SnakeCaseKeys, ConvertsKeysAtEveryDepth) {
    const std::pair<const char*, const char*> cases[] = {
        {"expires_in", "expiresIn"},
        {"end_to_end_response_time", "endToEndResponseTime"},
        {"nonce_upper_bound", "nonceUpperBound"},
        {"s_date", "sDate"},
        {"ipAddress", "ipAddress"},
        {"_private_key_", "_privateKey_"},
        {"__", "__"},
        {"a__b", "aB"},
        {"token", "token"},
        {"ICON_SRC", "ICONSrc"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(convertKeyFromSnakeCase(in), out) << in;
    }
    const auto converted = convertKeysFromSnakeCase(nlohmann::json::parse(
        R"({"outer_key":[{"inner_key":1}],"expires_in":5,"expiresIn":7,"text":"a_b"})"));
    EXPECT_EQ(converted,
              nlohmann::json::parse(R"({"outerKey":[{"innerKey":1}],"expiresIn":7,"text":"a_b"})"));
}

}  // namespace
}  // namespace corvanta::backend
