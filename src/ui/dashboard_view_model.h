#pragma once

#include <QCoroTask>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

#include "async/loading_flag.h"
#include "backend/display_records.h"
#include "ui/announcement_list_view_model.h"
#include "ui/dashboard_route.h"
#include "ui/gauge_chart_view_model.h"
#include "ui/model_ranking_table_model.h"
#include "ui/token_production_chart_model.h"

namespace corvanta::backend {
class IndexRepository;
}

namespace corvanta::ui {

class ResponsiveLayout;

// The dashboard page: greeting banner with the latest announcement, scarcity gauge, contribution
// chart and model ranking, all fed by the index store; and the route to the announcement list
// and detail pages. Loads the index whenever the page is shown. Main thread only.
class DashboardViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString greeting READ greeting NOTIFY greetingChanged)
    Q_PROPERTY(QString dateLine READ dateLine NOTIFY greetingChanged)
    Q_PROPERTY(bool hasAnnouncement READ hasAnnouncement NOTIFY announcementChanged)
    // The banner's announcement as {id, title, dateText, summary, content}.
    Q_PROPERTY(QVariantMap announcement READ announcementVariant NOTIFY announcementChanged)
    Q_PROPERTY(bool isActive READ isActive WRITE setActive NOTIFY isActiveChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString loadError READ loadError NOTIFY loadErrorChanged)
    Q_PROPERTY(corvanta::ui::dashboard_route::Route route READ route NOTIFY routeChanged)
    // Where the detail page's back button leads: the announcement list or the dashboard.
    Q_PROPERTY(corvanta::ui::dashboard_route::Route backTarget READ backTarget NOTIFY routeChanged)
    Q_PROPERTY(QVariantMap detail READ detailVariant NOTIFY routeChanged)
    Q_PROPERTY(QObject* gauge READ gauge CONSTANT)
    Q_PROPERTY(QObject* chart READ chart CONSTANT)
    Q_PROPERTY(QObject* table READ table CONSTANT)
    Q_PROPERTY(QObject* announcementList READ announcementList CONSTANT)

public:
    using Clock = std::function<QDateTime()>;

    DashboardViewModel(backend::IndexRepository& index, const ResponsiveLayout& layout,
                       Clock clock = &QDateTime::currentDateTime, QObject* parent = nullptr);

    const QString& greeting() const { return greeting_; }
    const QString& dateLine() const { return dateLine_; }
    bool hasAnnouncement() const { return announcement_.has_value(); }
    const std::optional<backend::Announcement>& announcement() const { return announcement_; }
    bool isActive() const { return isActive_; }
    bool isLoading() const { return loading_.isLoading(); }
    const QString& loadError() const { return loadError_; }
    DashboardRoute route() const { return route_; }
    DashboardRoute backTarget() const { return backTarget_; }
    const QList<backend::Announcement>& cachedAnnouncements() const { return cached_; }

    GaugeChartViewModel* gauge() const { return gauge_.get(); }
    TokenProductionChartModel* chart() const { return chart_.get(); }
    ModelRankingTableModel* table() const { return table_.get(); }
    AnnouncementListViewModel* announcementList() const { return list_.get(); }

    // Shown: greeting, animations and a fresh load of the index. Hidden: values set directly.
    void setActive(bool active);
    // Loads the index and writes the outcome to the system log.
    QCoro::Task<> load();

    Q_INVOKABLE void openAnnouncementList();
    // The banner's announcement; its back button returns to the dashboard.
    Q_INVOKABLE void openBannerAnnouncement();
    // A row of the list; its back button returns to the list.
    Q_INVOKABLE void openAnnouncement(int row);
    Q_INVOKABLE void back();
    Q_INVOKABLE void refreshGreeting();

signals:
    void greetingChanged();
    void announcementChanged();
    void isActiveChanged();
    void isLoadingChanged();
    void loadErrorChanged();
    void routeChanged();

private:
    QVariantMap announcementVariant() const;
    QVariantMap detailVariant() const;
    void showDetail(const backend::Announcement& announcement, DashboardRoute backTarget);
    void setRoute(DashboardRoute route);

    backend::IndexRepository& index_;
    Clock clock_;
    std::unique_ptr<GaugeChartViewModel> gauge_;
    std::unique_ptr<TokenProductionChartModel> chart_;
    std::unique_ptr<ModelRankingTableModel> table_;
    std::unique_ptr<AnnouncementListViewModel> list_;
    QString greeting_;
    QString dateLine_;
    std::optional<backend::Announcement> announcement_;
    QList<backend::Announcement> cached_;
    bool isActive_ = false;
    QString loadError_;
    DashboardRoute route_ = DashboardRoute::Dashboard;
    DashboardRoute backTarget_ = DashboardRoute::Dashboard;
    std::optional<backend::Announcement> detail_;
    // Keeps the greeting right for a window left open across an hour boundary.
    QTimer greetingTimer_;
    async::LoadingFlag loading_{[this] { emit isLoadingChanged(); }};
};

}  // namespace corvanta::ui
