// The run-log line builder and the filter that reads stored lines back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <QString>

#include "log/log_line.h"

namespace {

bool clean(const QString& line) {
    for (const QChar c : line) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t')) {
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
