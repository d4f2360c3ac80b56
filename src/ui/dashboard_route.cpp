#include "ui/dashboard_route.h"

namespace corvanta::ui::dashboard_route {

QString routeWord(Route route) {
    switch (route) {
        case Route::Dashboard:
            return QStringLiteral("dashboard");
        case Route::AnnouncementList:
            return QStringLiteral("announcement_list");
        case Route::AnnouncementDetail:
            break;
    }
    return QStringLiteral("announcement_detail");
}

}  // namespace corvanta::ui::dashboard_route
