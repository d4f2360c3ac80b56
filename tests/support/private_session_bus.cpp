#include "support/private_session_bus.h"

#include <QDir>
#include <QFile>

#include <stdexcept>

namespace corvanta::testing {
namespace {

// The session bus's own rules, without the service directories it would activate from.
QByteArray busConfig(const QString& address) {
    return QStringLiteral(
               "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
               "Configuration 1.0//EN\" "
               "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
               "<busconfig>\n"
               "  <type>session</type>\n"
               "  <listen>%1</listen>\n"
               "  <auth>EXTERNAL</auth>\n"
               "  <policy context=\"default\">\n"
               "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
               "    <allow eavesdrop=\"true\"/>\n"
               "    <allow own=\"*\"/>\n"
               "  </policy>\n"
               "</busconfig>\n")
        .arg(address)
        .toUtf8();
}

}  // namespace

QString PrivateSessionBus::addressFor(const QString& directory) {
    return QStringLiteral("unix:path=") + directory + QStringLiteral("/bus");
}

PrivateSessionBus::PrivateSessionBus(const QString& directory) : directory_(directory) {
    QDir().mkpath(directory_);
    QFile::setPermissions(directory_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile config(directory_ + QStringLiteral("/bus.conf"));
    if (!config.open(QIODevice::WriteOnly) || config.write(busConfig(address())) < 0) {
        throw std::runtime_error("cannot write the bus configuration");
    }
    config.close();
    bus_ = std::make_unique<ChildProcess>(
        "/usr/bin/dbus-daemon",
        std::vector<std::string>{"--config-file=" + config.fileName().toStdString(), "--nofork",
                                 "--nopidfile", "--print-address=1"});
    bus_->readLine(std::chrono::seconds(20));  // listening from here on
    bus_->discardRemainingOutput();
}

PrivateSessionBus::~PrivateSessionBus() = default;

}  // namespace corvanta::testing
