#include "support/devserver_process.h"

#include <httplib.h>

#include <stdexcept>

namespace corvanta::testing {

DevServerProcess::DevServerProcess(QStringList extraArguments) {
    std::vector<std::string> arguments{"--port", "0"};
    for (const QString& argument : extraArguments) {
        arguments.push_back(argument.toStdString());
    }
    process_ = std::make_unique<ChildProcess>(CORVANTA_DEVSERVER_PATH, arguments);
    const QString listening =
        QString::fromStdString(process_->readLine(std::chrono::seconds(30))).trimmed();
    const QString key =
        QString::fromStdString(process_->readLine(std::chrono::seconds(30))).trimmed();
    process_->discardRemainingOutput();
    const QString listenPrefix = QStringLiteral("listening on ");
    const QString keyPrefix = QStringLiteral("demo key: ");
    if (!listening.startsWith(listenPrefix) || !key.startsWith(keyPrefix)) {
        throw std::runtime_error("unexpected first lines: " + listening.toStdString() + " / " +
                                 key.toStdString());
    }
    url_ = listening.mid(listenPrefix.size());
    demoKey_ = key.mid(keyPrefix.size());
    admin_ = std::make_unique<httplib::Client>(url_.toStdString());
    admin_->enable_server_certificate_verification(false);  // the admin side only
}

DevServerProcess::~DevServerProcess() = default;

nlohmann::json DevServerProcess::call(const std::string& method, const std::string& path,
                                      const std::string& body) {
    httplib::Result result = method == "GET"      ? admin_->Get(path)
                             : method == "DELETE" ? admin_->Delete(path)
                                                  : admin_->Post(path, body, "application/json");
    if (!result || result->status != 200) {
        throw std::runtime_error("admin call failed: " + method + " " + path);
    }
    return nlohmann::json::parse(result->body);
}

void DevServerProcess::addFault(const nlohmann::json& fault) {
    call("POST", "/admin/faults", fault.dump());
}
void DevServerProcess::clearFaults() {
    call("DELETE", "/admin/faults");
}
nlohmann::json DevServerProcess::requests() {
    return call("GET", "/admin/requests");
}
void DevServerProcess::clearRequests() {
    call("DELETE", "/admin/requests");
}
nlohmann::json DevServerProcess::tasks() {
    return call("GET", "/admin/tasks");
}
void DevServerProcess::configure(const nlohmann::json& changes) {
    call("POST", "/admin/config", changes.dump());
}
void DevServerProcess::revokeTokens() {
    call("POST", "/admin/revoke-tokens");
}

}  // namespace corvanta::testing
