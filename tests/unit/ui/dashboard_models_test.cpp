#include <gtest/gtest.h>

#include <QDateTime>
#include <QTimeZone>
#include <cmath>
#include <limits>

#include "backend/display_records.h"
#include "platform/string_table.h"
#include "support/coro_test_util.h"
#include "ui/announcement_list_view_model.h"
#include "ui/dashboard_greeting.h"
#include "ui/gauge_chart_view_model.h"
#include "ui/gauge_segment.h"
#include "ui/model_ranking_table_model.h"
#include "ui/responsive_layout.h"
#include "ui/token_production_chart_model.h"

namespace corvanta::ui {
namespace {

using namespace std::chrono_literals;
using backend::SignInRecord;
using platform::localized;
using testing::processEventsUntil;

TEST(DashboardGreeting, HourBoundariesPickTheKey) {
    const std::pair<int, const char*> cases[] = {
        {0, "greeting_night"},         {4, "greeting_night"},    {5, "greeting_early_morning"},
        {7, "greeting_early_morning"}, {8, "greeting_morning"},  {10, "greeting_morning"},
        {11, "greeting_noon"},         {12, "greeting_noon"},    {13, "greeting_afternoon"},
        {17, "greeting_afternoon"},    {18, "greeting_evening"}, {21, "greeting_evening"},
        {22, "greeting_night"},        {23, "greeting_night"},
    };
    for (const auto& [hour, key] : cases) {
        EXPECT_EQ(DashboardGreeting::keyForHour(hour), QLatin1String(key)) << hour;
    }
    // Minutes do not matter: 04:59 is still night, 12:59 still noon.
    const QDate day(2025, 3, 7);
    const auto at = [&](int h, int m) { return QDateTime(day, QTime(h, m)); };
    const auto banner = [](const char* key) {
        return localized(QStringLiteral("greeting_format"))
            .arg(localized(QLatin1String(key)), localized(QStringLiteral("app_name")));
    };
    EXPECT_EQ(DashboardGreeting::bannerText(at(4, 59)), banner("greeting_night"));
    EXPECT_EQ(DashboardGreeting::bannerText(at(5, 0)), banner("greeting_early_morning"));
    EXPECT_EQ(DashboardGreeting::bannerText(at(12, 59)), banner("greeting_noon"));
    EXPECT_EQ(DashboardGreeting::bannerText(at(13, 0)), banner("greeting_afternoon"));
    EXPECT_EQ(DashboardGreeting::bannerText(at(13, 0)),
              QStringLiteral("Good afternoon, welcome to Corvanta"));
    EXPECT_EQ(DashboardGreeting::dateLine(day), QStringLiteral("Friday, March 7, 2025"));
}

TEST(GaugeSegment, SixBandsAndTheLowerBandWinsOnSharedBounds) {
    const auto& segments = GaugeSegment::scarcitySegments();
    ASSERT_EQ(segments.size(), 6);
    EXPECT_EQ(segments[0].color, QColor(QStringLiteral("#22C55E")));
    EXPECT_EQ(segments[5].color, QColor(QStringLiteral("#8B5CF6")));
    EXPECT_EQ(segments[3].label, QStringLiteral("gauge_scarce"));
    for (const auto& segment : segments) {
        EXPECT_TRUE(platform::StringTable::english().contains(segment.label));
    }
    const std::pair<double, int> cases[] = {
        {0, 0},    {25, 0},   {25.01, 1}, {45, 1},   {45.5, 2},
        {70, 2},   {70.1, 3}, {85, 3},    {85.2, 4}, {95, 4},
        {95.5, 5}, {100, 5},  {-3, 0},    {140, 5},  {std::numeric_limits<double>::quiet_NaN(), 0},
    };
    for (const auto& [value, index] : cases) {
        EXPECT_EQ(GaugeSegment::indexFor(segments, value), index) << value;
    }
    EXPECT_EQ(GaugeSegment::indexFor({}, 50), -1);
}

TEST(GaugeChartViewModel, AnimatesOnlyWhileActiveAndOnlyForANewTarget) {
    GaugeChartViewModel gauge(QStringLiteral("token_scarcity_index"),
                              GaugeSegment::scarcitySegments(), nullptr, 30ms);
    EXPECT_EQ(gauge.title(), localized(QStringLiteral("token_scarcity_index")));

    // Hidden: the needle is set at once.
    gauge.setValue(40);
    EXPECT_FALSE(gauge.isAnimating());
    EXPECT_EQ(gauge.displayValue(), 40);
    EXPECT_EQ(gauge.animationCount(), 0);
    EXPECT_EQ(gauge.segmentLabel(), localized(QStringLiteral("gauge_balanced")));

    // Shown with the same value: nothing to animate.
    gauge.setActive(true);
    EXPECT_FALSE(gauge.isAnimating());
    EXPECT_EQ(gauge.animationCount(), 0);

    gauge.setValue(62);
    EXPECT_TRUE(gauge.isAnimating());
    EXPECT_EQ(gauge.lastAnimatedTargetValue(), 62);
    // The same target again while it runs does not restart it.
    gauge.setValue(62);
    EXPECT_EQ(gauge.animationCount(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return !gauge.isAnimating(); }, 5s));
    EXPECT_EQ(gauge.displayValue(), 62);
    gauge.setValue(62);
    EXPECT_EQ(gauge.animationCount(), 1);

    // Hidden mid-animation: the needle jumps to the target and stays there when shown again.
    gauge.setValue(90);
    EXPECT_TRUE(gauge.isAnimating());
    gauge.setActive(false);
    EXPECT_FALSE(gauge.isAnimating());
    EXPECT_EQ(gauge.displayValue(), 90);
    gauge.setActive(true);
    EXPECT_EQ(gauge.animationCount(), 2);
    EXPECT_FALSE(gauge.isAnimating());

    // Off-scale values stay on the dial.
    gauge.setActive(false);
    gauge.setValue(250);
    EXPECT_EQ(gauge.displayValue(), 100);
    gauge.setValue(-5);
    EXPECT_EQ(gauge.displayValue(), 0);
}

QList<SignInRecord> week(qint64 bump = 0) {
    return {{QStringLiteral("2025-03-01"), 3},
            {QStringLiteral("2025-03-02"), 5 + bump},
            {QStringLiteral("2025-03-03"), 2}};
}

TEST(TokenProductionChartModel, PointsSignatureAndTotal) {
    const auto points = TokenProductionChartModel::pointsFrom(week());
    ASSERT_EQ(points.size(), 3);
    EXPECT_EQ(points[1].date, QStringLiteral("2025-03-02"));
    EXPECT_EQ(points[1].value, 5.0);
    EXPECT_NE(points[0].id, points[1].id);
    EXPECT_EQ(points[0].dateLabel(), QStringLiteral("3-1"));
    EXPECT_EQ(TokenProductionChartModel::signatureOf(points),
              QStringLiteral("2025-03-01:3|2025-03-02:5|2025-03-03:2"));
    EXPECT_EQ(TokenProductionChartModel::signatureOf({}), QStringLiteral("empty"));
    // New ids every time, yet the same signature.
    EXPECT_EQ(TokenProductionChartModel::signatureOf(TokenProductionChartModel::pointsFrom(week())),
              TokenProductionChartModel::signatureOf(points));

    TokenProductionChartModel chart(nullptr, 30ms);
    EXPECT_TRUE(chart.isEmpty());
    chart.setRecords(week());
    EXPECT_EQ(chart.contributionTotal(), 10);
    EXPECT_EQ(chart.displayedContribution(), 10);
    EXPECT_EQ(chart.plotMax(), 5);
    EXPECT_EQ(chart.plotValues(), (QList<double>{3, 5, 2}));
    const QVariantMap first = chart.property("points").toList().value(0).toMap();
    EXPECT_EQ(first.value(QStringLiteral("dateLabel")).toString(), QStringLiteral("3-1"));
    EXPECT_EQ(first.value(QStringLiteral("valueLabel")).toString(), QStringLiteral("3"));

    // A week of zeros keeps a usable scale.
    chart.setRecords({{QStringLiteral("2025-03-01"), 0}});
    EXPECT_EQ(chart.plotMax(), 1);
    chart.setRecords({});
    EXPECT_TRUE(chart.isEmpty());
    EXPECT_EQ(chart.contributionTotal(), 0);
    EXPECT_EQ(chart.lastAnimatedSignature(), QStringLiteral("empty"));
}

TEST(TokenProductionChartModel, AnimatesOnlyWhenTheSignatureChanges) {
    TokenProductionChartModel chart(nullptr, 30ms);
    chart.setActive(true);
    chart.setRecords(week());
    EXPECT_TRUE(chart.isAnimating());
    EXPECT_EQ(chart.plotAnimationCount(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return !chart.isAnimating(); }, 5s));
    EXPECT_EQ(chart.plotValues(), (QList<double>{3, 5, 2}));
    EXPECT_EQ(chart.displayedContribution(), 10);

    // The same figures reloaded (new ids): no restart, the points stay the same objects.
    const auto firstId = chart.points()[0].id;
    chart.setHoveredIndex(2);
    chart.setRecords(week());
    EXPECT_FALSE(chart.isAnimating());
    EXPECT_EQ(chart.plotAnimationCount(), 1);
    EXPECT_EQ(chart.points()[0].id, firstId);
    EXPECT_EQ(chart.hoveredIndex(), 2);

    // Changed figures animate from the curve on screen, and the total counts up.
    chart.setRecords(week(4));
    EXPECT_EQ(chart.plotAnimationCount(), 2);
    EXPECT_EQ(chart.plotValues()[1], 5);
    EXPECT_EQ(chart.contributionTotal(), 14);
    ASSERT_TRUE(processEventsUntil([&] { return !chart.isAnimating(); }, 5s));
    EXPECT_EQ(chart.plotValues()[1], 9);
    EXPECT_EQ(chart.plotMax(), 9);
    EXPECT_EQ(chart.displayedContributionText(), QStringLiteral("14"));

    // Fewer points drop a highlight that pointed past the end; a click toggles the selection.
    chart.setRecords(week().mid(0, 2));
    EXPECT_EQ(chart.hoveredIndex(), -1);
    chart.toggleSelection(1);
    EXPECT_EQ(chart.selectedIndex(), 1);
    chart.toggleSelection(1);
    EXPECT_EQ(chart.selectedIndex(), -1);
    chart.setSelectedIndex(7);
    EXPECT_EQ(chart.selectedIndex(), -1);

    // Hidden: values are set without animation and count as shown.
    chart.setActive(false);
    chart.setRecords(week(1));
    EXPECT_FALSE(chart.isAnimating());
    EXPECT_EQ(chart.plotValues(), (QList<double>{3, 6, 2}));
    EXPECT_EQ(chart.displayedContribution(), 11);
    chart.setActive(true);
    EXPECT_FALSE(chart.isAnimating());
    EXPECT_EQ(chart.plotAnimationCount(), 3);
}

TEST(ModelRankingTableModel, CellFormatsAndSharedWidths) {
    EXPECT_EQ(ModelRankingTableModel::formatPrice(1.25), QStringLiteral("$1.25"));
    EXPECT_EQ(ModelRankingTableModel::formatPrice(0), QStringLiteral("$0.00"));
    EXPECT_EQ(ModelRankingTableModel::formatPrice(1234.5), QStringLiteral("$1234.50"));
    EXPECT_EQ(ModelRankingTableModel::formatSpeed(182.4), QStringLiteral("182"));
    EXPECT_EQ(ModelRankingTableModel::formatSpeed(std::nullopt), QStringLiteral("--"));
    EXPECT_EQ(ModelRankingTableModel::formatMilliseconds(0.41), QStringLiteral("0.41"));
    EXPECT_EQ(ModelRankingTableModel::formatMilliseconds(3.2), QStringLiteral("3.20"));
    EXPECT_EQ(ModelRankingTableModel::formatMilliseconds(std::nullopt), QStringLiteral("--"));

    backend::ModelRanking model;
    model.name = QStringLiteral("Delta Open");
    model.contextWindow = QStringLiteral("64k");
    model.intelligenceScore = -4;
    EXPECT_EQ(ModelRankingTableModel::cells(model),
              (QStringList{QStringLiteral("Delta Open"), QStringLiteral("64k"),
                           QStringLiteral("-4"), QStringLiteral("$0.00"), QStringLiteral("--"),
                           QStringLiteral("--"), QStringLiteral("--")}));

    ResponsiveLayout layout;
    ModelRankingTableModel table(layout);
    table.setModels({model, model});
    EXPECT_EQ(table.rowCount(), 2);
    const QVariantMap row = table.property("rows").toList().value(1).toMap();
    EXPECT_EQ(row.value(QStringLiteral("price")).toString(), QStringLiteral("$0.00"));
    EXPECT_EQ(row.value(QStringLiteral("speed")).toString(), QStringLiteral("--"));
    const double designWidth = table.tableWidth();
    layout.setWidth(1280);
    EXPECT_DOUBLE_EQ(table.tableWidth(), designWidth * 1600 / 1920);
    // The whole table fits a 1280-wide window with room for the page's margins.
    EXPECT_LT(table.tableWidth(), 1280 - 2 * 64);
    const QVariantList columns = table.property("columns").toList();
    ASSERT_EQ(columns.size(), ModelRankingTableModel::designColumnWidths().size());
    EXPECT_EQ(columns[0].toMap().value(QStringLiteral("title")).toString(),
              localized(QStringLiteral("table_model")));
    for (const QVariant& column : columns) {
        EXPECT_FALSE(column.toMap()
                         .value(QStringLiteral("title"))
                         .toString()
                         .startsWith(QStringLiteral("table_")));
    }
}

TEST(AnnouncementListViewModel, NoticesBecomeAnnouncements) {
    backend::Notice notice{7, QStringLiteral("Hello"),
                           QStringLiteral("<p>Fish &amp; <b>chips</b></p>\n<p>today</p>"),
                           QDateTime(QDate(2025, 3, 7), QTime(9, 30), Qt::UTC)};
    const auto announcement = AnnouncementListViewModel::announcementFrom(notice);
    EXPECT_EQ(announcement.id, 7);
    EXPECT_EQ(announcement.summary, QStringLiteral("Fish & chips today"));
    EXPECT_EQ(announcement.content, notice.content);
    EXPECT_FALSE(announcement.isRead);
    // Inline tags leave no gap before punctuation; breaks and paragraph ends keep words apart.
    EXPECT_EQ(AnnouncementListViewModel::summaryOf(
                  QStringLiteral("<p>The <b>dev backend</b>.</p><P>Bye<br/>now</p>")),
              QStringLiteral("The dev backend. Bye now"));
    EXPECT_EQ(AnnouncementListViewModel::summaryOf(QString(200, QLatin1Char('a')), 10),
              QStringLiteral("aaaaaaaaaa…"));
    const QDateTime local = announcement.date.toLocalTime();
    EXPECT_EQ(AnnouncementListViewModel::detailDate(announcement.date),
              QLocale(QLocale::English, QLocale::UnitedStates)
                  .toString(local, localized(QStringLiteral("date_format_announcement_detail"))));
    EXPECT_TRUE(
        AnnouncementListViewModel::detailDate(announcement.date).contains(QStringLiteral("2025")));
    // A notice without a time has no date line rather than a made-up one.
    notice.createtime.reset();
    EXPECT_EQ(AnnouncementListViewModel::detailDate(
                  AnnouncementListViewModel::announcementFrom(notice).date),
              QString());
}

}  // namespace
}  // namespace corvanta::ui
