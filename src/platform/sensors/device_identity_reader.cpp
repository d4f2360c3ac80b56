#include "platform/sensors/device_identity_reader.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/sensors/dmi_reader.h"
#include "platform/sensors/sysfs_file.h"

namespace corvanta::platform {

namespace {

// Changing this changes every unregistered machine's identity, so it never changes.
constexpr std::string_view kApplicationId = "com.corvanta.client";

constexpr std::size_t kMachineIdDigits = 32;

std::string hexText(const unsigned char* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0f]);
    }
    return text;
}

}  // namespace

DeviceIdentityReader::DeviceIdentityReader(std::filesystem::path root) : root_(std::move(root)) {}

std::optional<std::string> DeviceIdentityReader::serialNumber() const {
    if (auto serial = DmiReader(root_).read().productSerial) {
        return serial;
    }
    if (const auto id = machineId()) {
        if (std::string hash = machineIdentityHash(*id); !hash.empty()) {
            return hash;
        }
    }
    return std::nullopt;
}

std::optional<std::string> DeviceIdentityReader::platformUuid() const {
    if (auto uuid = DmiReader(root_).read().productUuid) {
        return uuid;
    }
    if (const auto id = machineId()) {
        return asUuid(*id);
    }
    return std::nullopt;
}

std::optional<std::string> DeviceIdentityReader::machineId() const {
    for (const char* file : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
        auto line = readTrimmedLine(underRoot(root_, file));
        if (!line || line->size() != kMachineIdDigits ||
            !std::all_of(line->begin(), line->end(),
                         [](unsigned char c) { return std::isxdigit(c) != 0; })) {
            // Missing, or "uninitialized" during the first boot.
            continue;
        }
        std::transform(line->begin(), line->end(), line->begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (line->find_first_not_of('0') == std::string::npos) {
            continue;
        }
        return line;
    }
    return std::nullopt;
}

std::string DeviceIdentityReader::machineIdentityHash(std::string_view machineId) {
    std::string message(machineId);
    std::transform(message.begin(), message.end(), message.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (HMAC(EVP_sha256(), kApplicationId.data(), static_cast<int>(kApplicationId.size()),
             reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.data(),
             &length) == nullptr ||
        length < 16) {
        return {};
    }
    return hexText(digest.data(), 16);
}

std::string DeviceIdentityReader::asUuid(std::string_view hexDigits) {
    std::string uuid(hexDigits);
    for (const std::size_t at : {20, 16, 12, 8}) {
        if (at < uuid.size()) {
            uuid.insert(at, 1, '-');
        }
    }
    return uuid;
}

}  // namespace corvanta::platform
