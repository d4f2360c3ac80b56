#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QString>

// Which page the dashboard module shows. Pages compare with DashboardRoute.AnnouncementList and
// so on (QML reads only enum values that begin with a capital letter).
namespace corvanta::ui::dashboard_route {
Q_NAMESPACE
QML_NAMED_ELEMENT(DashboardRoute)

enum class Route { Dashboard, AnnouncementList, AnnouncementDetail };
Q_ENUM_NS(Route)

// "dashboard", "announcement_list", "announcement_detail".
QString routeWord(Route route);

}  // namespace corvanta::ui::dashboard_route

namespace corvanta::ui {
using DashboardRoute = dashboard_route::Route;
}
