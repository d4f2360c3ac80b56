#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace corvanta::ui {

// The dashboard banner's greeting, picked by the local hour, and its date line.
class DashboardGreeting {
public:
    // "greeting_early_morning" 5–7, "greeting_morning" 8–10, "greeting_noon" 11–12,
    // "greeting_afternoon" 13–17, "greeting_evening" 18–21, "greeting_night" otherwise.
    static QString keyForHour(int hour);
    // "greeting_format" filled with the greeting for `localTime` and the application name.
    static QString bannerText(const QDateTime& localTime);
    // The date in English full style, e.g. "Friday, March 7, 2025".
    static QString dateLine(const QDate& date);
};

}  // namespace corvanta::ui
