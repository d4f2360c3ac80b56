#include "fault.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace corvanta::devserver {
namespace {

Fault::Reply parseReply(const std::string& text) {
    if (text == "normal") {
        return Fault::Reply::normal;
    }
    if (text == "malformed") {
        return Fault::Reply::malformed;
    }
    if (text == "truncated") {
        return Fault::Reply::truncated;
    }
    if (text == "oversized") {
        return Fault::Reply::oversized;
    }
    if (text == "oversized-declared") {
        return Fault::Reply::oversizedDeclared;
    }
    if (text == "drop") {
        return Fault::Reply::drop;
    }
    if (text == "lost") {
        return Fault::Reply::lost;
    }
    throw std::invalid_argument("unknown reply kind: " + text);
}

std::string replyText(Fault::Reply reply) {
    switch (reply) {
        case Fault::Reply::normal:
            return "normal";
        case Fault::Reply::malformed:
            return "malformed";
        case Fault::Reply::truncated:
            return "truncated";
        case Fault::Reply::oversized:
            return "oversized";
        case Fault::Reply::oversizedDeclared:
            return "oversized-declared";
        case Fault::Reply::drop:
            return "drop";
        case Fault::Reply::lost:
            return "lost";
    }
    return "normal";
}

int checkedRedirectStatus(int status) {
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
        throw std::invalid_argument("redirectStatus must be 301, 302, 303, 307 or 308");
    }
    return status;
}

void apply(Fault& fault, const std::string& key, const std::string& value) {
    if (key == "status") {
        fault.status = std::stoi(value);
    } else if (key == "code") {
        fault.code = std::stoll(value);
    } else if (key == "msg") {
        fault.msg = value;
    } else if (key == "delay") {
        fault.delayMs = std::stoi(value);
    } else if (key == "reply") {
        fault.reply = parseReply(value);
    } else if (key == "count") {
        fault.count = std::stoll(value);
    } else if (key == "after") {
        fault.after = std::stoll(value);
    } else if (key == "redirect") {
        fault.redirect = value;
    } else if (key == "redirectStatus") {
        fault.redirectStatus = checkedRedirectStatus(std::stoi(value));
    } else if (key == "body") {
        fault.body = value;
    } else {
        throw std::invalid_argument("unknown fault key: " + key);
    }
}

// A whole number of type T under `key`, or `fallback` when the key is missing. Anything else is
// refused here: the JSON library's own conversion turns 1e300 or 2.5 into undefined behaviour or
// silent truncation.
template <typename T>
T integerField(const nlohmann::json& json, const char* key, T fallback) {
    const auto found = json.find(key);
    if (found == json.end()) {
        return fallback;
    }
    if (found->is_number_unsigned()) {
        const auto value = found->get<std::uint64_t>();
        if (value <= std::uint64_t(std::numeric_limits<T>::max())) {
            return T(value);
        }
    } else if (found->is_number_integer()) {
        const auto value = found->get<std::int64_t>();
        if (value >= std::int64_t(std::numeric_limits<T>::min()) &&
            value <= std::int64_t(std::numeric_limits<T>::max())) {
            return T(value);
        }
    }
    throw std::invalid_argument(std::string("fault field ") + key +
                                " must be a whole number in range");
}

}  // namespace

Fault Fault::parse(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0) {
        throw std::invalid_argument("fault needs PATH:key=value,...: " + text);
    }
    Fault fault;
    fault.path = text.substr(0, colon);
    std::string rest = text.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t equals = rest.find('=');
        if (equals == std::string::npos) {
            throw std::invalid_argument("fault part without '=': " + rest);
        }
        const std::string key = rest.substr(0, equals);
        if (key == "body") {
            apply(fault, key, rest.substr(equals + 1));
            break;
        }
        const std::size_t comma = rest.find(',', equals);
        apply(fault, key,
              rest.substr(equals + 1,
                          comma == std::string::npos ? std::string::npos : comma - equals - 1));
        rest = comma == std::string::npos ? std::string() : rest.substr(comma + 1);
    }
    return fault;
}

Fault Fault::fromJson(const nlohmann::json& json) {
    Fault fault;
    fault.path = json.value("path", std::string("*"));
    if (json.contains("status")) {
        fault.status = integerField<int>(json, "status", 0);
    }
    if (json.contains("code")) {
        fault.code = integerField<long long>(json, "code", 0);
    }
    fault.msg = json.value("msg", fault.msg);
    fault.delayMs = integerField<int>(json, "delayMs", 0);
    if (json.contains("reply")) {
        fault.reply = parseReply(json.at("reply").get<std::string>());
    }
    if (json.contains("body")) {
        fault.body = json.at("body").get<std::string>();
    }
    if (json.contains("redirect")) {
        fault.redirect = json.at("redirect").get<std::string>();
    }
    if (json.contains("redirectStatus")) {
        fault.redirectStatus =
            checkedRedirectStatus(integerField<int>(json, "redirectStatus", 302));
    }
    fault.count = integerField<long long>(json, "count", 1);
    fault.after = integerField<long long>(json, "after", 0);
    return fault;
}

nlohmann::json Fault::toJson() const {
    nlohmann::json json{{"path", path},       {"msg", msg},
                        {"delayMs", delayMs}, {"reply", replyText(reply)},
                        {"count", count},     {"after", after}};
    if (status) {
        json["status"] = *status;
    }
    if (code) {
        json["code"] = *code;
    }
    if (body) {
        json["body"] = *body;
    }
    if (redirect) {
        json["redirect"] = *redirect;
        json["redirectStatus"] = redirectStatus;
    }
    return json;
}

}  // namespace corvanta::devserver
