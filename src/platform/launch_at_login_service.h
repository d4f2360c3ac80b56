#pragma once

#include <QString>

#include "platform/launch_at_login.h"

namespace corvanta::platform {

// Launch at login through an XDG autostart entry ("corvanta.desktop" in the user's autostart
// folder). The entry counts as enabled when the file exists and does not say Hidden=true.
class LaunchAtLoginService : public LaunchAtLogin {
public:
    // `autostartDirectory` empty: $XDG_CONFIG_HOME/autostart (~/.config/autostart).
    // `executable` empty: this program.
    explicit LaunchAtLoginService(QString autostartDirectory = {}, QString executable = {});

    bool isEnabled() const override;
    void setEnabled(bool enabled) override;

    QString entryPath() const;

    // An enabled entry that an earlier version wrote (it opened the window at login) is written
    // again in today's form; a disabled or hidden one is left alone. Throws like setEnabled.
    void refreshEntry();

private:
    void writeEntry();

    QString directory_;
    QString executable_;
};

}  // namespace corvanta::platform
