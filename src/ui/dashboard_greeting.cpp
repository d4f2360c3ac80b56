#include "ui/dashboard_greeting.h"

#include <QLocale>

#include "platform/string_table.h"

namespace corvanta::ui {

using platform::localized;

QString DashboardGreeting::keyForHour(int hour) {
    if (hour >= 5 && hour <= 7) {
        return QStringLiteral("greeting_early_morning");
    }
    if (hour >= 8 && hour <= 10) {
        return QStringLiteral("greeting_morning");
    }
    if (hour >= 11 && hour <= 12) {
        return QStringLiteral("greeting_noon");
    }
    if (hour >= 13 && hour <= 17) {
        return QStringLiteral("greeting_afternoon");
    }
    if (hour >= 18 && hour <= 21) {
        return QStringLiteral("greeting_evening");
    }
    return QStringLiteral("greeting_night");
}

QString DashboardGreeting::bannerText(const QDateTime& localTime) {
    return localized(QStringLiteral("greeting_format"))
        .arg(localized(keyForHour(localTime.time().hour())), localized(QStringLiteral("app_name")));
}

QString DashboardGreeting::dateLine(const QDate& date) {
    // Fixed to English whatever the desktop's locale: the interface is English only.
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(date, QStringLiteral("dddd, MMMM d, yyyy"));
}

}  // namespace corvanta::ui
