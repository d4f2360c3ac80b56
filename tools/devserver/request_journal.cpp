#include "request_journal.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace corvanta::devserver {
namespace {

constexpr std::size_t kKeep = 1000;

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// Bytes that are not valid UTF-8 would make the journal unserialisable; they become \xNN.
std::string printable(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        std::size_t length = byte < 0x80           ? 1
                             : (byte >> 5) == 0x6  ? 2
                             : (byte >> 4) == 0xE  ? 3
                             : (byte >> 3) == 0x1E ? 4
                                                   : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) >> 6) == 0x2;
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
            ++i;
        }
    }
    return out;
}

}  // namespace

void RequestJournal::record(const httplib::Request& request, const std::string& fault) {
    nlohmann::json headers = nlohmann::json::object();
    for (const auto& [name, value] : request.headers) {
        const std::string key = lower(name);
        if (key == "remote_addr" || key == "remote_port" || key == "local_addr" ||
            key == "local_port") {
            continue;
        }
        headers[key] = printable(value);
    }
    const std::size_t query = request.target.find('?');
    nlohmann::json entry{
        {"method", request.method},
        {"path", request.path},
        {"query", query == std::string::npos ? "" : printable(request.target.substr(query + 1))},
        {"headers", headers},
        {"body", printable(request.body)},
        {"fault", fault},
        {"atMs", std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count()},
    };
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
    if (entries_.size() > kKeep) {
        entries_.erase(entries_.begin());
    }
}

void RequestJournal::clear() {
    std::lock_guard lock(mutex_);
    entries_ = nlohmann::json::array();
}

nlohmann::json RequestJournal::toJson() const {
    std::lock_guard lock(mutex_);
    return entries_;
}

}  // namespace corvanta::devserver
