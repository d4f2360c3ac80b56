// What the devserver reads from its peers: form bodies (through cpp-httplib's decoder, checked
// against the client's encoder) and fault descriptions from the command line and the admin API.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <QString>

#include "backend/endpoints.h"
#include "backend/form_encoding.h"
#include "fault.h"

namespace {

using corvanta::devserver::Fault;

// The fields separated by 0x01 bytes become alternate keys and values; what the client encodes,
// the devserver must decode to the same pairs.
void checkFormRoundTrip(std::string_view bytes) {
    corvanta::backend::FormParameters form;
    QString key;
    bool haveKey = false;
    std::size_t start = 0;
    while (start <= bytes.size()) {
        std::size_t end = bytes.find('\x01', start);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        const QString field = QString::fromUtf8(bytes.data() + start, qsizetype(end - start));
        if (field.contains(QChar::ReplacementCharacter)) {
            return;  // not UTF-8: the client never sends such text
        }
        if (haveKey) {
            if (!key.isEmpty()) {
                form.insert(key, field);
            }
        } else {
            key = field;
        }
        haveKey = !haveKey;
        start = end + 1;
    }

    const std::string body = corvanta::backend::formEncode(form).toStdString();
    httplib::Params params;
    httplib::detail::parse_query_text(body, params);
    if (params.size() != std::size_t(form.size())) {
        std::abort();
    }
    for (auto it = form.cbegin(); it != form.cend(); ++it) {
        const auto found = params.find(it.key().toStdString());
        if (found == params.end() || found->second != it.value().toStdString()) {
            std::abort();
        }
    }
}

void checkFaultRoundTrip(const Fault& fault) {
    const nlohmann::json json = fault.toJson();
    if (Fault::fromJson(json).toJson() != json) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    httplib::Params params;
    httplib::detail::parse_query_text(text, params);
    checkFormRoundTrip(text);

    try {
        checkFaultRoundTrip(Fault::parse(text));
    } catch (const std::exception&) {
        // Refused with a message, which is what the command line shows.
    }
    const auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (!json.is_discarded()) {
        try {
            checkFaultRoundTrip(Fault::fromJson(json));
        } catch (const std::exception&) {
            // The admin API answers 400 with the message.
        }
    }
    return 0;
}
