#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace corvanta::devserver {

// A misbehaviour of one path ("*" for every public path) for its next `count` requests (-1:
// until cleared), after letting `after` of them through untouched. Parts combine: the delay
// comes first, then the first of status, code, body, redirect, reply that is set; a fault with
// only a delay lets the request through afterwards. The reply `lost` handles the request (a
// submission is accepted) and then drops the reply like `drop`.
struct Fault {
    enum class Reply { normal, malformed, truncated, oversized, oversizedDeclared, drop, lost };

    std::string path = "*";
    std::optional<int> status;      // HTTP status, with a short text body
    std::optional<long long> code;  // envelope code, HTTP 200, data null
    std::string msg = "injected failure";
    int delayMs = 0;
    Reply reply = Reply::normal;
    std::optional<std::string> body;      // this exact body, HTTP 200, application/json
    std::optional<std::string> redirect;  // a redirect to this location
    int redirectStatus = 302;             // 301, 302, 303, 307 or 308
    long long count = 1;
    long long after = 0;  // matching requests to let through before the fault applies

    // "PATH:key=value,key=value" with keys status, code, msg, delay, reply, count, after,
    // redirect, redirectStatus, body.
    // The body key must come last: its value is the rest of the text, commas included.
    static Fault parse(const std::string& text);
    static Fault fromJson(const nlohmann::json& json);
    nlohmann::json toJson() const;
};

}  // namespace corvanta::devserver
