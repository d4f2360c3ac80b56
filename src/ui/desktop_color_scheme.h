#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

#include <optional>

namespace corvanta::ui {

// The desktop's light or dark preference while the client runs. Qt 6.4 has no colour-scheme API
// of its own, so this asks the desktop portal: org.freedesktop.portal.Settings, namespace
// "org.freedesktop.appearance", key "color-scheme" (0 no preference, 1 prefer dark, 2 prefer
// light), and follows its SettingChanged signal. Without a portal it knows nothing and says so.
// The first read is asynchronous: the main thread never waits for the bus. Main thread only.
class DesktopColorScheme : public QObject {
    Q_OBJECT

public:
    explicit DesktopColorScheme(QDBusConnection bus = QDBusConnection::sessionBus(),
                                QObject* parent = nullptr);

    // True for dark, false for light; nullopt while the portal has not answered, when there is
    // none, or when the desktop states no preference.
    std::optional<bool> prefersDark() const { return prefersDark_; }

    // The setting's value to a preference; nullopt for "no preference" and unknown values.
    static std::optional<bool> prefersDarkFor(uint colorScheme);

signals:
    // The preference changed; also when the first answer arrives.
    void prefersDarkChanged();

private slots:
    void settingChanged(const QString& group, const QString& key, const QDBusVariant& value);

private:
    void take(const QVariant& value);

    QDBusConnection bus_;
    std::optional<bool> prefersDark_;
};

}  // namespace corvanta::ui
