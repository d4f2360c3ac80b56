#include "dev_server.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "dev_content.h"

namespace corvanta::devserver {
namespace {

constexpr std::size_t kOversizedBytes = 9 * 1024 * 1024;

std::int64_t unixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string isoNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string dayText(std::int64_t unixSeconds) {
    const std::time_t t = std::time_t(unixSeconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

std::optional<std::int64_t> parseId(const std::string& text) {
    std::int64_t value = 0;
    const char* begin = text.data();
    if (!text.empty() && text.front() == '+') {
        ++begin;
    }
    const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

bool isLoopback(const std::string& address) {
    return address == "127.0.0.1" || address == "::1" || address.rfind("127.", 0) == 0 ||
           address == "::ffff:127.0.0.1";
}

std::string dump(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace

DevServer::DevServer(const DevOptions& options)
    : tls_(!options.certFile.empty()),
      requestedPort_(options.port),
      demoKey_(options.demoKey),
      quiet_(options.quiet),
      state_(options.config) {
    if (tls_) {
        server_ =
            std::make_unique<httplib::SSLServer>(options.certFile.c_str(), options.keyFile.c_str());
    } else {
        server_ = std::make_unique<httplib::Server>();
    }
    state_.addKey(demoKey_);
    for (const auto& key : options.extraKeys) {
        state_.addKey(key);
    }
    for (const auto& fault : options.faults) {
        faults_.add(fault);
    }
    installRoutes();
    installAdminRoutes();
    if (!quiet_) {
        // One line per request. Bodies and headers stay out: they carry keys and tokens.
        server_->set_logger([](const httplib::Request& request, const httplib::Response& response) {
            std::fprintf(stderr, "%s %s %s %s -> %d (%zu bytes)\n", isoNow().c_str(),
                         request.remote_addr.c_str(), request.method.c_str(), request.path.c_str(),
                         response.status, response.body.size());
        });
    }
}

std::string DevServer::origin() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

bool DevServer::bind() {
    if (!server_->is_valid()) {
        return false;
    }
    if (requestedPort_ == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else if (server_->bind_to_port("127.0.0.1", requestedPort_)) {
        port_ = requestedPort_;
    }
    return port_ > 0;
}

bool DevServer::run() {
    return server_->listen_after_bind();
}

void DevServer::stop() {
    stopping_ = true;
    server_->stop();
}

void DevServer::delay(int milliseconds) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string DevServer::tokenOf(const httplib::Request& request) const {
    return request.get_header_value("token");
}

void DevServer::writeEnvelope(httplib::Response& response, const Envelope& envelope) {
    response.status = 200;
    response.set_content(
        dump({{"code", envelope.code}, {"msg", envelope.msg}, {"data", envelope.data}}),
        "application/json");
}

void DevServer::dropReply(httplib::Response& response) {
    // Headers promise a body that never comes: the connection just closes.
    response.status = 200;
    response.body.clear();  // a body would be sent instead of the provider
    response.set_header("Connection", "close");
    response.set_content_provider(
        100, "application/json",
        [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
}

bool DevServer::applyFault(const Fault& fault, httplib::Response& response) {
    if (fault.status) {
        response.status = *fault.status;
        response.set_content("injected HTTP " + std::to_string(*fault.status), "text/plain");
        return true;
    }
    if (fault.code) {
        writeEnvelope(response, Envelope{*fault.code, fault.msg, nullptr});
        return true;
    }
    if (fault.body) {
        response.status = 200;
        response.set_content(*fault.body, "application/json");
        return true;
    }
    if (fault.redirect) {
        response.set_redirect(*fault.redirect, fault.redirectStatus);
        return true;
    }
    switch (fault.reply) {
        case Fault::Reply::malformed:
            response.status = 200;
            response.set_content("{\"code\": 1, \"msg\": ok, \"data\": }", "application/json");
            return true;
        case Fault::Reply::oversized:
            response.status = 200;
            response.set_chunked_content_provider(
                "application/json", [](std::size_t offset, httplib::DataSink& sink) {
                    static const std::string chunk(64 * 1024, 'x');
                    if (offset == 0 && !sink.write("{\"code\":1,\"msg\":\"ok\",\"data\":\"", 30)) {
                        return false;
                    }
                    if (offset >= kOversizedBytes) {
                        sink.write("\"}", 2);
                        sink.done();
                        return true;
                    }
                    return sink.write(chunk.data(), chunk.size());
                });
            return true;
        case Fault::Reply::oversizedDeclared:
            response.status = 200;
            response.set_content_provider(
                kOversizedBytes, "application/json",
                [](std::size_t, std::size_t length, httplib::DataSink& sink) {
                    static const std::string chunk(64 * 1024, ' ');
                    return sink.write(chunk.data(), std::min(length, chunk.size()));
                });
            return true;
        case Fault::Reply::drop:
            dropReply(response);
            return true;
        case Fault::Reply::normal:
        case Fault::Reply::truncated:
        case Fault::Reply::lost:
            return false;
    }
    return false;
}

void DevServer::route(const std::string& method, const std::string& path, Access access,
                      ApiHandler handler) {
    auto wrapped = [this, access, handler = std::move(handler)](const httplib::Request& request,
                                                                httplib::Response& response) {
        const std::optional<Fault> fault = faults_.take(request.path);
        journal_.record(request, fault ? dump(fault->toJson()) : std::string());
        if (fault) {
            delay(fault->delayMs);
        }
        if (fault && applyFault(*fault, response)) {
            return;
        }
        Account account = state_.accountOf(tokenOf(request));
        if (access == Access::signedIn && !account) {
            writeEnvelope(response, Envelope{401, "Please sign in", nullptr});
        } else {
            writeEnvelope(response, handler(request, account));
        }
        if (fault && fault->reply == Fault::Reply::truncated) {
            const std::string cut = response.body.substr(0, response.body.size() / 2);
            response.set_content(cut, "application/json");
        }
        if (fault && fault->reply == Fault::Reply::lost) {
            dropReply(response);
        }
    };
    if (method == "GET") {
        server_->Get(path, std::move(wrapped));
    } else {
        server_->Post(path, std::move(wrapped));
    }
}

void DevServer::installRoutes() {
    route("POST", "/api/user/keyLogin", Access::open,
          [this](const httplib::Request& request, Account) { return keyLogin(request); });
    route("POST", "/api/user/logout", Access::open,
          [this](const httplib::Request& request, Account) {
              state_.revoke(tokenOf(request));
              return Envelope{1, "Signed out", nullptr};
          });
    route("GET", "/api/token/check", Access::signedIn,
          [this](const httplib::Request& request, Account) {
              return Envelope{1, "ok", {{"expires_in", state_.remainingSeconds(tokenOf(request))}}};
          });
    route(
        "GET", "/api/token/refresh", Access::signedIn,
        [this](const httplib::Request& request, Account) {
            const auto token = state_.refresh(tokenOf(request));
            if (!token) {
                return Envelope{401, "Please sign in", nullptr};
            }
            return Envelope{
                1, "ok", {{"token", *token}, {"expires_in", state_.config().tokenLifetimeSeconds}}};
        });
    route("POST", "/api/device/init", Access::signedIn,
          [this](const httplib::Request& request, Account account) {
              return deviceInit(request, *account);
          });
    route("POST", "/api/device/checkApiKey", Access::signedIn,
          [this](const httplib::Request& request, Account account) {
              return checkApiKey(request, *account);
          });
    route("POST", "/api/device/getTask", Access::signedIn,
          [this](const httplib::Request& request, Account account) {
              return getTask(request, *account);
          });
    route("POST", "/api/device/pullTask", Access::signedIn,
          [this](const httplib::Request& request, Account account) {
              return pullTask(request, *account);
          });
    route("POST", "/api/device/report", Access::signedIn, [](const httplib::Request&, Account) {
        return Envelope{1, "ok", nullptr};
    });
    route("GET", "/api/index/index", Access::open,
          [this](const httplib::Request&, Account account) { return index(account); });
    route("GET", "/api/index/recent", Access::open,
          [this](const httplib::Request&, Account account) {
              return Envelope{1, "ok", recent(account)};
          });
    route("GET", "/api/index/noticeList", Access::open, [](const httplib::Request&, Account) {
        const std::int64_t now = unixNow();
        return Envelope{
            1,
            "ok",
            {{"code", 1}, {"msg", ""}, {"time", std::to_string(now)}, {"data", demoNotices(now)}}};
    });
    route("GET", "/api/index/version", Access::open,
          [this](const httplib::Request& request, Account) { return version(request); });
    route("GET", "/api/index/models", Access::open, [this](const httplib::Request&, Account) {
        return Envelope{1, "ok", demoModels(origin())};
    });
    route("GET", "/api/page/detail", Access::open, [](const httplib::Request& request, Account) {
        const auto page = demoPage(request.get_param_value("type"));
        if (!page) {
            return Envelope{0, "unknown page type", nullptr};
        }
        return Envelope{1, "ok", *page};
    });
    server_->Get(R"(/static/icons/([a-z]+)\.svg)",
                 [this](const httplib::Request& request, httplib::Response& response) {
                     const std::optional<Fault> fault = faults_.take(request.path);
                     journal_.record(request, fault ? dump(fault->toJson()) : std::string());
                     if (fault) {
                         delay(fault->delayMs);
                     }
                     if (fault && applyFault(*fault, response)) {
                         return;
                     }
                     const auto svg = demoIcon(request.matches[1]);
                     if (!svg) {
                         response.status = 404;
                         return;
                     }
                     response.set_content(*svg, "image/svg+xml");
                 });
}

void DevServer::installAdminRoutes() {
    const auto admin = [](auto body) {
        return [body](const httplib::Request& request, httplib::Response& response) {
            if (!isLoopback(request.remote_addr)) {
                response.status = 403;
                return;
            }
            try {
                response.set_content(dump(body(request)), "application/json");
            } catch (const std::exception& error) {
                response.status = 400;
                response.set_content(dump({{"error", error.what()}}), "application/json");
            }
        };
    };
    server_->Get("/admin/faults",
                 admin([this](const httplib::Request&) { return faults_.toJson(); }));
    server_->Post(
        "/admin/faults", admin([this](const httplib::Request& request) {
            const auto json = nlohmann::json::parse(request.body);
            for (const auto& item : json.is_array() ? json : nlohmann::json::array({json})) {
                faults_.add(Fault::fromJson(item));
            }
            return faults_.toJson();
        }));
    server_->Delete("/admin/faults", admin([this](const httplib::Request&) {
                        faults_.clear();
                        return nlohmann::json::array();
                    }));
    server_->Get("/admin/requests",
                 admin([this](const httplib::Request&) { return journal_.toJson(); }));
    server_->Delete("/admin/requests", admin([this](const httplib::Request&) {
                        journal_.clear();
                        return nlohmann::json::array();
                    }));
    server_->Get("/admin/tasks",
                 admin([this](const httplib::Request&) { return state_.tasksJson(); }));
    const auto configJson = [this] {
        const DevConfig c = state_.config();
        return nlohmann::json{{"tokenLifetime", c.tokenLifetimeSeconds},
                              {"difficulty", c.difficulty},
                              {"upperBound", c.upperBound},
                              {"versionReply", c.versionReply},
                              {"latestVersion", c.latestVersion}};
    };
    server_->Get("/admin/config",
                 admin([configJson](const httplib::Request&) { return configJson(); }));
    server_->Post("/admin/config", admin([this, configJson](const httplib::Request& request) {
                      state_.updateConfig(nlohmann::json::parse(request.body));
                      return configJson();
                  }));
    server_->Post("/admin/revoke-tokens", admin([this](const httplib::Request&) {
                      state_.revokeAll();
                      return nlohmann::json{{"ok", true}};
                  }));
}

DevServer::Envelope DevServer::keyLogin(const httplib::Request& request) {
    const std::string key = request.get_param_value("api_key");
    if (key.empty()) {
        return Envelope{0, "api_key is required", nullptr};
    }
    std::int64_t expiresAt = 0;
    const auto token = state_.login(key, &expiresAt);
    if (!token) {
        return Envelope{0, "Account key not recognised", nullptr};
    }
    return Envelope{1,
                    "Signed in",
                    {{"userinfo",
                      {{"username", key == demoKey_ ? "demo" : "user"},
                       {"token", *token},
                       {"expiretime", expiresAt},
                       {"expires_in", state_.config().tokenLifetimeSeconds}}}}};
}

DevServer::Envelope DevServer::deviceInit(const httplib::Request& request, std::int64_t account) {
    const std::string sn = request.get_param_value("sn");
    if (sn.empty()) {
        return Envelope{0, "sn is required", nullptr};
    }
    const std::int64_t id = state_.registerDevice(account, sn, request.get_param_value("name"),
                                                  request.get_param_value("cpu"));
    return Envelope{1, "ok", {{"id", id}, {"ip_address", request.remote_addr}}};
}

DevServer::Envelope DevServer::checkApiKey(const httplib::Request& request, std::int64_t account) {
    const auto device = parseId(request.get_param_value("device_id"));
    if (!device || !state_.ownsDevice(account, *device) ||
        !state_.keyMayUseDevice(request.get_param_value("api_key"), *device)) {
        return Envelope{0, "api key is not valid for this device", nullptr};
    }
    return Envelope{1, "ok", nullptr};
}

DevServer::Envelope DevServer::getTask(const httplib::Request& request, std::int64_t account) {
    const auto device = parseId(request.get_param_value("device_id"));
    if (!device || !state_.ownsDevice(account, *device)) {
        return Envelope{0, "unknown device", nullptr};
    }
    const DevState::Task task = state_.issueTask(account, *device);
    nlohmann::json data{{"task_id", task.id},
                        {"begin_time", task.beginTime},
                        {"seed", task.seed},
                        {"difficulty", task.difficulty}};
    if (task.upperBound != 0) {
        data["nonce_upper_bound"] = task.upperBound;
    }
    return Envelope{1, "ok", data};
}

DevServer::Envelope DevServer::pullTask(const httplib::Request& request, std::int64_t account) {
    using Outcome = DevState::SubmitOutcome;
    switch (state_.submit(account, request.get_param_value("task_id"),
                          request.get_param_value("result"))) {
        case Outcome::accepted:
        case Outcome::acceptedAgain:
            return Envelope{1, "accepted", nullptr};
        case Outcome::unknownTask:
            return Envelope{0, "unknown task", nullptr};
        case Outcome::notYours:
            return Envelope{0, "task was issued to another account", nullptr};
        case Outcome::badNonce:
            return Envelope{0, "result is not a decimal nonce", nullptr};
        case Outcome::outOfRange:
            return Envelope{0, "nonce is outside the task's range", nullptr};
        case Outcome::alreadySolved:
            return Envelope{0, "task already solved", nullptr};
        case Outcome::rejected:
            return Envelope{0, "nonce does not meet the difficulty", nullptr};
    }
    return Envelope{0, "rejected", nullptr};
}

nlohmann::json DevServer::recent(Account account) const {
    // A week of demo figures, plus what this account really earned here.
    static constexpr std::int64_t kDemo[] = {3, 5, 2, 6, 4, 7, 1};
    const auto earned =
        account ? state_.awardsByDay(*account) : std::map<std::string, std::int64_t>{};
    const std::int64_t now = unixNow();
    nlohmann::json list = nlohmann::json::array();
    for (int daysAgo = 6; daysAgo >= 0; --daysAgo) {
        const std::string day = dayText(now - std::int64_t(daysAgo) * 86400);
        const auto it = earned.find(day);
        list.push_back({{"s_date", day},
                        {"award", kDemo[6 - daysAgo] + (it == earned.end() ? 0 : it->second)}});
    }
    return list;
}

DevServer::Envelope DevServer::index(Account account) {
    const std::int64_t now = unixNow();
    return Envelope{1,
                    "ok",
                    {{"token_scarcity", 62},
                     {"notice", demoNotices(now)[0]},
                     {"recent", recent(account)},
                     {"model_tops", demoModels(origin())}}};
}

DevServer::Envelope DevServer::version(const httplib::Request& request) const {
    const DevConfig config = state_.config();
    if (config.versionReply == "none") {
        return Envelope{1, "up to date", nullptr};
    }
    return Envelope{1,
                    "ok",
                    {{"enforce", config.versionReply == "mandatory" ? 1 : 0},
                     {"version", request.get_param_value("version")},
                     {"newversion", config.latestVersion},
                     {"downloadurl", "https://downloads.corvanta.example/corvanta-" +
                                         config.latestVersion + ".tar.gz"},
                     {"packagesize", "48.2 MB"},
                     {"upgradetext", "Faster GPU search and a clearer run log."}}};
}

}  // namespace corvanta::devserver
