#include "ui/dashboard_view_model.h"

#include "backend/index_repository.h"
#include "platform/string_table.h"
#include "platform/system_log.h"
#include "ui/announcement_list_view_model.h"
#include "ui/dashboard_greeting.h"
#include "ui/error_text.h"
#include "ui/gauge_chart_view_model.h"
#include "ui/gauge_segment.h"
#include "ui/model_ranking_table_model.h"
#include "ui/token_production_chart_model.h"

namespace corvanta::ui {

using backend::Announcement;

namespace {
constexpr auto kGreetingRefresh = std::chrono::seconds(60);
}  // namespace

DashboardViewModel::DashboardViewModel(backend::IndexRepository& index,
                                       const ResponsiveLayout& layout, Clock clock, QObject* parent)
    : QObject(parent),
      index_(index),
      clock_(std::move(clock)),
      gauge_(std::make_unique<GaugeChartViewModel>(QStringLiteral("token_scarcity_index"),
                                                   GaugeSegment::scarcitySegments())),
      chart_(std::make_unique<TokenProductionChartModel>()),
      table_(std::make_unique<ModelRankingTableModel>(layout)),
      list_(std::make_unique<AnnouncementListViewModel>(
          index, [this](const QList<Announcement>& fresh) { cached_ = fresh; })) {
    connect(&index_, &backend::IndexRepository::tokenScarcityChanged, this,
            [this] { gauge_->setValue(double(index_.tokenScarcity())); });
    connect(&index_, &backend::IndexRepository::recentSignInsChanged, this,
            [this] { chart_->setRecords(index_.recentSignIns()); });
    connect(&index_, &backend::IndexRepository::modelsChanged, this,
            [this] { table_->setModels(index_.models()); });
    connect(&index_, &backend::IndexRepository::noticeChanged, this, [this] {
        const auto& notice = index_.notice();
        announcement_ = notice ? std::optional(AnnouncementListViewModel::announcementFrom(*notice))
                               : std::nullopt;
        emit announcementChanged();
    });
    // Whatever the store already holds (an earlier visit) is shown before the next load.
    gauge_->setValue(double(index_.tokenScarcity()));
    chart_->setRecords(index_.recentSignIns());
    table_->setModels(index_.models());
    if (index_.notice()) {
        announcement_ = AnnouncementListViewModel::announcementFrom(*index_.notice());
    }
    greetingTimer_.setInterval(kGreetingRefresh);
    connect(&greetingTimer_, &QTimer::timeout, this, &DashboardViewModel::refreshGreeting);
    refreshGreeting();
}

void DashboardViewModel::refreshGreeting() {
    const QDateTime now = clock_().toLocalTime();
    const QString greeting = DashboardGreeting::bannerText(now);
    const QString dateLine = DashboardGreeting::dateLine(now.date());
    if (greeting != greeting_ || dateLine != dateLine_) {
        greeting_ = greeting;
        dateLine_ = dateLine;
        emit greetingChanged();
    }
}

void DashboardViewModel::setActive(bool active) {
    if (active == isActive_) {
        return;
    }
    isActive_ = active;
    emit isActiveChanged();
    gauge_->setActive(active);
    chart_->setActive(active);
    if (!active) {
        greetingTimer_.stop();
        return;
    }
    refreshGreeting();
    greetingTimer_.start();
    // The task ends on its own; dropping it does not cancel it.
    [[maybe_unused]] auto running = load();
}

QCoro::Task<> DashboardViewModel::load() {
    if (loading_.isLoading()) {
        // One load at a time: the one in flight brings the same data.
        co_return;
    }
    const auto current = loading_.begin();
    QString failure;
    try {
        co_await index_.fetchIndex(current.token());
    } catch (const std::exception& error) {
        failure = errorText(error);
    }
    if (current.abandoned()) {
        co_return;
    }
    if (failure.isEmpty()) {
        const auto& notice = index_.notice();
        qCInfo(platform::dashboardLog).noquote()
            << QStringLiteral("loaded scarcity=%1, notice=%2, recent=%3, models=%4")
                   .arg(index_.tokenScarcity())
                   .arg(notice ? notice->title : QStringLiteral("none"))
                   .arg(index_.recentSignIns().size())
                   .arg(index_.modelTops().size());
    } else {
        qCWarning(platform::dashboardLog).noquote()
            << QStringLiteral("index load failed: %1").arg(failure);
    }
    if (failure != loadError_) {
        loadError_ = failure;
        emit loadErrorChanged();
    }
}

void DashboardViewModel::openAnnouncementList() {
    list_->show(cached_, announcement_);
    setRoute(DashboardRoute::AnnouncementList);
}

void DashboardViewModel::openBannerAnnouncement() {
    if (announcement_) {
        showDetail(*announcement_, DashboardRoute::Dashboard);
    }
}

void DashboardViewModel::openAnnouncement(int row) {
    const auto& announcements = list_->announcements();
    if (row >= 0 && row < announcements.size()) {
        showDetail(announcements[row], DashboardRoute::AnnouncementList);
    }
}

void DashboardViewModel::back() {
    if (route_ == DashboardRoute::AnnouncementDetail) {
        // Back to the list shows the list as it was; it is not fetched again.
        setRoute(backTarget_);
    } else if (route_ == DashboardRoute::AnnouncementList) {
        setRoute(DashboardRoute::Dashboard);
    }
}

void DashboardViewModel::showDetail(const Announcement& announcement, DashboardRoute backTarget) {
    detail_ = announcement;
    backTarget_ = backTarget;
    route_ = DashboardRoute::AnnouncementDetail;
    // Also when the detail page was already shown: its announcement changed.
    emit routeChanged();
}

void DashboardViewModel::setRoute(DashboardRoute route) {
    if (route != route_) {
        route_ = route;
        emit routeChanged();
    }
}

QVariantMap DashboardViewModel::announcementVariant() const {
    return announcement_ ? AnnouncementListViewModel::toVariant(*announcement_) : QVariantMap();
}

QVariantMap DashboardViewModel::detailVariant() const {
    return detail_ ? AnnouncementListViewModel::toVariant(*detail_) : QVariantMap();
}

}  // namespace corvanta::ui
