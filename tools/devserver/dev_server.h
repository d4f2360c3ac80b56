#pragma once

#include <httplib.h>

#include <atomic>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "dev_options.h"
#include "dev_state.h"
#include "fault_table.h"
#include "request_journal.h"

namespace corvanta::devserver {

// The reference backend: every /api/ endpoint of the client with the JSON envelope, static
// icons, and the loopback-only /admin/ endpoints through which tests steer it.
class DevServer {
public:
    explicit DevServer(const DevOptions& options);

    // Binds 127.0.0.1 (a free port when the options say 0). False when that failed.
    bool bind();
    // Serves until stop(); returns false when serving failed.
    bool run();
    void stop();

    int port() const { return port_; }
    std::string origin() const;
    const std::string& demoKey() const { return demoKey_; }

private:
    struct Envelope {
        long long code = 1;
        std::string msg = "ok";
        nlohmann::json data;
    };
    using Account = std::optional<std::int64_t>;
    using ApiHandler = std::function<Envelope(const httplib::Request&, Account)>;

    enum class Access { open, signedIn };

    void installRoutes();
    void installAdminRoutes();
    void route(const std::string& method, const std::string& path, Access access,
               ApiHandler handler);
    // Produces the faulty reply; false when the fault leaves the request to the normal handler.
    bool applyFault(const Fault& fault, httplib::Response& response);
    static void dropReply(httplib::Response& response);
    static void writeEnvelope(httplib::Response& response, const Envelope& envelope);
    std::string tokenOf(const httplib::Request& request) const;
    // Sleeps for a fault's delay, cut short when the server stops.
    void delay(int milliseconds) const;

    Envelope keyLogin(const httplib::Request& request);
    Envelope deviceInit(const httplib::Request& request, std::int64_t account);
    Envelope checkApiKey(const httplib::Request& request, std::int64_t account);
    Envelope getTask(const httplib::Request& request, std::int64_t account);
    Envelope pullTask(const httplib::Request& request, std::int64_t account);
    Envelope index(Account account);
    nlohmann::json recent(Account account) const;
    Envelope version(const httplib::Request& request) const;

    std::unique_ptr<httplib::Server> server_;
    bool tls_;
    int requestedPort_;
    int port_ = -1;
    std::string demoKey_;
    bool quiet_;
    std::atomic<bool> stopping_{false};
    DevState state_;
    FaultTable faults_;
    RequestJournal journal_;
};

}  // namespace corvanta::devserver
