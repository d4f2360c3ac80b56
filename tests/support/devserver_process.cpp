#include "support/devserver_process.h"

#include <httplib.h>

#include <stdexcept>

namespace corvanta::testing {
namespace {

QString readLine(QProcess& process) {
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(10000)) {
            throw std::runtime_error("corvanta-devserver printed nothing: " +
                                     process.errorString().toStdString());
        }
    }
    return QString::fromUtf8(process.readLine()).trimmed();
}

}  // namespace

DevServerProcess::DevServerProcess(QStringList extraArguments) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(CORVANTA_DEVSERVER_PATH),
                   QStringList{QStringLiteral("--port"), QStringLiteral("0")} + extraArguments);
    if (!process_.waitForStarted(10000)) {
        throw std::runtime_error("corvanta-devserver did not start");
    }
    const QString listening = readLine(process_);
    const QString key = readLine(process_);
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

DevServerProcess::~DevServerProcess() {
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

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
