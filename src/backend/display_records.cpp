#include "backend/display_records.h"

#include <QStringList>
#include <cmath>

#include "backend/json_decoding.h"
#include "platform/system_log.h"

namespace corvanta::backend {

Notice Notice::from(const WireNotice& dto) {
    Notice notice{dto.id, dto.title, dto.content, std::nullopt};
    if (dto.createtime) {
        notice.createtime = QDateTime::fromSecsSinceEpoch(*dto.createtime, Qt::UTC);
    }
    return notice;
}

AppVersionUpdate AppVersionUpdate::from(const VersionUpdateResponse& dto) {
    AppVersionUpdate update;
    update.enforce = dto.enforce != 0;
    update.version = dto.version;
    update.newVersion = dto.newVersion;
    update.packageSize = dto.packageSize;
    update.upgradeText = dto.upgradeText;
    // The address is handed to the browser, which would also fetch plain http, reach a file
    // share or run a custom handler: only an https address with a host is offered.
    const QUrl url(dto.downloadUrl, QUrl::StrictMode);
    if (url.isValid() && url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        !url.host().isEmpty()) {
        update.downloadUrl = url;
    } else if (!dto.downloadUrl.trimmed().isEmpty()) {
        qCWarning(platform::dashboardLog).noquote()
            << "update" << dto.newVersion << "offered without a download button: its address"
            << (url.isValid() && !url.scheme().isEmpty()
                    ? QStringLiteral("uses the scheme \"%1\"; only https is opened")
                          .arg(url.scheme())
                    : QStringLiteral("is not an https URL"));
    }
    return update;
}

QString TokenProductionPoint::dateLabel() const {
    const QStringList pieces = date.split(QLatin1Char('-'), Qt::SkipEmptyParts);
    if (pieces.size() != 3) {
        return date;
    }
    const auto month = parseDecimalInteger(pieces[1]);
    const auto day = parseDecimalInteger(pieces[2]);
    if (!month || !day) {
        return date;
    }
    return QString::number(*month) + QLatin1Char('-') + QString::number(*day);
}

QString TokenProductionPoint::valueLabel() const {
    if (!std::isfinite(value)) {
        return QStringLiteral("--");
    }
    // Halves away from zero; adding +0.0 turns a rounded -0 into 0.
    const double rounded = std::round(value * 100.0) / 100.0 + 0.0;
    if (!std::isfinite(rounded)) {
        return QString::number(value, 'f', 0);
    }
    if (std::trunc(rounded) == rounded) {
        return QString::number(rounded, 'f', 0);
    }
    QString text = QString::asprintf("%.2f", rounded);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

}  // namespace corvanta::backend
