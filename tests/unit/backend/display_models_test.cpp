#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "backend/display_records.h"
#include "backend/errors.h"

namespace corvanta::backend {
namespace {

TEST(DisplayModels, VersionUpdateAndNotice) {
    VersionUpdateResponse dto{2, "1.0", "1.1", "https://example.org/c.tar.gz", "1 MB", "text"};
    const auto update = AppVersionUpdate::from(dto);
    EXPECT_TRUE(update.enforce);
    EXPECT_EQ(update.downloadUrl, QUrl(QStringLiteral("https://example.org/c.tar.gz")));
    dto.enforce = 0;
    dto.downloadUrl = QStringLiteral("not a url");
    EXPECT_FALSE(AppVersionUpdate::from(dto).enforce);
    EXPECT_FALSE(AppVersionUpdate::from(dto).downloadUrl);

    const auto notice = Notice::from(WireNotice{3, "t", "c", 86400});
    EXPECT_EQ(notice.createtime, QDateTime(QDate(1970, 1, 2), QTime(0, 0), Qt::UTC));
    EXPECT_FALSE(Notice::from(WireNotice{3, "t", "c", std::nullopt}).createtime);
}

TEST(DisplayModels, ChartLabels) {
    const std::pair<const char*, const char*> dates[] = {
        {"2025-03-07", "3-7"},  {"2025-12-31", "12-31"},      {"2025--03-07", "3-7"},
        {"2025-03", "2025-03"}, {"2025-ab-07", "2025-ab-07"}, {"", ""},
    };
    for (const auto& [date, label] : dates) {
        TokenProductionPoint point;
        point.date = QString::fromUtf8(date);
        EXPECT_EQ(point.dateLabel(), QString::fromUtf8(label)) << date;
    }
    const std::pair<double, const char*> values[] = {
        {12.0, "12"},         {1.5, "1.5"},
        {2.499, "2.5"},       {3.14159, "3.14"},
        {0.005, "0.01"},      {-0.001, "0"},
        {-1.25, "-1.25"},     {std::numeric_limits<double>::infinity(), "--"},
        {std::nan(""), "--"}, {1e20, "100000000000000000000"},
    };
    for (const auto& [value, label] : values) {
        TokenProductionPoint point;
        point.value = value;
        EXPECT_EQ(point.valueLabel(), QString::fromUtf8(label)) << value;
    }
}

// What went wrong, as data; the run log's line for it in English (ui::errorText words it for
// pages).
TEST(DisplayModels, ErrorsCarryWhatWentWrong) {
    const auto http = ApiError::httpError(502, QByteArray("x"));
    EXPECT_EQ(http.statusCode(), 502);
    EXPECT_EQ(http.description(), QStringLiteral("The server answered with HTTP status 502."));
    EXPECT_EQ(ApiError::serverError(QStringLiteral("busy")).description(), QStringLiteral("busy"));
    const auto empty = ApiError::emptyData();
    EXPECT_EQ(empty.kind(), ApiError::Kind::serverError);
    EXPECT_TRUE(empty.isEmptyData());
    EXPECT_TRUE(empty.message().isEmpty());
    const auto decoding = ApiError::decodingFailed(DecodingError(
        DecodingError::Kind::typeMismatch, QStringLiteral("data.id"), QStringLiteral("why")));
    EXPECT_EQ(decoding.description(),
              QStringLiteral("The server's reply could not be read (data.id: why)."));
    EXPECT_EQ(std::string(decoding.what()), decoding.description().toStdString());
    EXPECT_TRUE(TransportError::cancelled().isCancellation());
    EXPECT_TRUE(TransportError::timedOut().isTimeout());
}

}  // namespace
}  // namespace corvanta::backend
