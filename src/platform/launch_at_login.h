#pragma once

namespace corvanta::platform {

// Launching the application when the user logs in.
class LaunchAtLogin {
public:
    virtual ~LaunchAtLogin() = default;
    // The real state, read from the platform each time.
    virtual bool isEnabled() const = 0;
    // Registers or unregisters the login item when the state differs; throws std::runtime_error
    // when the platform refuses.
    virtual void setEnabled(bool enabled) = 0;
};

}  // namespace corvanta::platform
