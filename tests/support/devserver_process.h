#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/child_process.h"

namespace httplib {
class Client;
}

namespace corvanta::testing {

// A corvanta-devserver started for one test on a free loopback port, stopped on destruction.
// Reads the two lines the server prints first, and talks to its /admin/ endpoints.
class DevServerProcess {
public:
    explicit DevServerProcess(QStringList extraArguments = {});
    ~DevServerProcess();

    const QString& url() const { return url_; }
    const QString& demoKey() const { return demoKey_; }

    void addFault(const nlohmann::json& fault);
    void clearFaults();
    nlohmann::json requests();
    void clearRequests();
    nlohmann::json tasks();
    void configure(const nlohmann::json& changes);
    void revokeTokens();

private:
    nlohmann::json call(const std::string& method, const std::string& path,
                        const std::string& body = {});

    std::unique_ptr<ChildProcess> process_;
    QString url_;
    QString demoKey_;
    std::unique_ptr<httplib::Client> admin_;
};

}  // namespace corvanta::testing
