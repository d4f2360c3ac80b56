// The run-log line builder and the filter that reads stored lines back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QString>

#include "log/log_line.h"

namespace {

// No control character but the tab, no line or paragraph separator, no bidirectional control.
bool clean(const QString& line) {
    for (const QChar c : line) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t') || (u >= 0x7f && u <= 0x9f) || u == 0x2028 || u == 0x2029 ||
            u == 0x061c || u == 0x200e || u == 0x200f || (u >= 0x202a && u <= 0x202e) ||
            (u >= 0x2066 && u <= 0x2069)) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto reloaded = corvanta::log::decodeReloadableLogLine(bytes);
    if (reloaded && (!clean(*reloaded) || reloaded->contains(QChar::ReplacementCharacter))) {
        std::abort();
    }

    // The bytes as a message: the line written must be clean and read back as written.
    const QString message = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    const QString line = corvanta::log::buildLogLine(QStringLiteral("2026-01-01T00:00:00Z"),
                                                     QStringLiteral("engine"), message);
    if (!clean(line)) {
        std::abort();
    }
    if (!message.contains(QChar::ReplacementCharacter)) {
        const QByteArray utf8 = line.toUtf8();
        if (corvanta::log::decodeReloadableLogLine(std::string_view(utf8.data(), utf8.size())) !=
            line) {
            std::abort();
        }
    }
    return 0;
}
