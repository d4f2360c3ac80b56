#include "ui/desktop_color_scheme.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace corvanta::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString kGroup = QStringLiteral("org.freedesktop.appearance");
const QString kKey = QStringLiteral("color-scheme");

// Read answers a variant that holds the value; portals before version 2 wrap it once more.
QVariant unwrapped(QVariant value) {
    while (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>()) {
        value = value.value<QDBusVariant>().variant();
    }
    return value;
}

}  // namespace

DesktopColorScheme::DesktopColorScheme(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    if (!bus_.isConnected()) {
        return;
    }
    // The bus matches the slot's parameter types by name, which exist only once registered.
    qRegisterMetaType<QDBusVariant>();
    bus_.connect(kService, kPath, kInterface, QStringLiteral("SettingChanged"), this,
                 SLOT(settingChanged(QString, QString, QDBusVariant)));
    QDBusMessage read =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Read"));
    read << kGroup << kKey;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(read), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *call;
                // No portal, or one without the setting: nothing is known.
                if (!reply.isError()) {
                    take(reply.value().variant());
                }
            });
}

std::optional<bool> DesktopColorScheme::prefersDarkFor(uint colorScheme) {
    switch (colorScheme) {
        case 1:
            return true;
        case 2:
            return false;
        default:
            return std::nullopt;
    }
}

void DesktopColorScheme::settingChanged(const QString& group, const QString& key,
                                        const QDBusVariant& value) {
    if (group == kGroup && key == kKey) {
        take(value.variant());
    }
}

void DesktopColorScheme::take(const QVariant& value) {
    const QVariant setting = unwrapped(value);
    bool ok = false;
    const uint scheme = setting.toUInt(&ok);
    const std::optional<bool> preference = ok ? prefersDarkFor(scheme) : std::nullopt;
    if (preference != prefersDark_) {
        prefersDark_ = preference;
        emit prefersDarkChanged();
    }
}

}  // namespace corvanta::ui
