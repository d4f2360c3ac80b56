#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvanta::platform {

// Who this machine is, for the device description and for registering the device with the
// backend.
//
// Serial number: the DMI product serial when it is readable and not a filler. Otherwise (the
// usual case for a desktop user, since the kernel lets only root read it) a hash of the systemd
// machine id: HMAC-SHA-256 keyed with the fixed application id "com.corvanta.client", over the
// machine id as its 32 lower-case hex digits, cut to the first 16 bytes and written as 32
// lower-case hex digits. The hash stays stable for the life of the installation and does not
// give away the machine id itself, which other programs use as a secret.
//
// Platform UUID: the DMI product UUID when readable, else the machine id in UUID form.
class DeviceIdentityReader {
public:
    explicit DeviceIdentityReader(std::filesystem::path root = "/");

    // nullopt when neither source is usable; the description then shows "—".
    std::optional<std::string> serialNumber() const;
    std::optional<std::string> platformUuid() const;

    // /etc/machine-id (or D-Bus's copy in /var/lib/dbus) as 32 lower-case hex digits; nullopt
    // when missing or not yet initialised.
    std::optional<std::string> machineId() const;

    // The 32-hex-digit identity hash of a machine id given as 32 hex digits (either case);
    // empty only if the digest itself fails.
    static std::string machineIdentityHash(std::string_view machineId);

    // 8-4-4-4-12 grouping of 32 hex digits.
    static std::string asUuid(std::string_view hexDigits);

private:
    std::filesystem::path root_;
};

}  // namespace corvanta::platform
