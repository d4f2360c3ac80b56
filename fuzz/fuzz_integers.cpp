// The lenient number readers: decimal text from the backend and from numbers sent as strings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <QString>
#include <charconv>
#include <nlohmann/json.hpp>

#include "backend/json_decoding.h"

namespace {

// The reference: the standard library on plain ASCII, with the sign rules of the reader.
std::optional<qint64> referenceInteger(const std::string& text) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;
        }
    }
    if (digits.empty()) {
        return std::nullopt;
    }
    qint64 value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    const auto integer = corvanta::backend::parseDecimalInteger(text);
    (void)corvanta::backend::parseDecimalDouble(text);

    bool ascii = true;
    for (const unsigned char c : bytes) {
        ascii = ascii && c >= 0x20 && c < 0x7f;
    }
    if (ascii && integer != referenceInteger(bytes)) {
        std::abort();
    }

    // The same text as a JSON string value, and the raw bytes as a JSON value, through the reader.
    nlohmann::json object = nlohmann::json::object();
    object["s"] = text.toStdString();
    auto parsed = nlohmann::json::parse(bytes, nullptr, /*allow_exceptions=*/false);
    if (!parsed.is_discarded()) {
        object["v"] = std::move(parsed);
    }
    const corvanta::backend::JsonReader reader(object, QStringLiteral("data"));
    if (reader.lenientInteger("s") != integer) {
        std::abort();
    }
    (void)reader.lenientInteger("v");
    return 0;
}
