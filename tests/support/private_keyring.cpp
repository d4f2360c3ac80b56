#include "support/private_keyring.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

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

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

QString PrivateKeyring::addressFor(const QString& directory) {
    return QStringLiteral("unix:path=") + directory + QStringLiteral("/bus");
}

PrivateKeyring::PrivateKeyring(const QString& directory) : directory_(directory) {
    QDir().mkpath(directory_);
    QFile::setPermissions(directory_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char* sub : {"data", "config", "runtime", "home"}) {
        QDir(directory_).mkdir(QString::fromLatin1(sub));
        QFile::setPermissions(directory_ + QLatin1Char('/') + QString::fromLatin1(sub),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
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

    const QString command =
        QStringLiteral(
            "exec env -u DISPLAY -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS=%1 HOME=%2/home "
            "XDG_DATA_HOME=%2/data XDG_CONFIG_HOME=%2/config XDG_RUNTIME_DIR=%2/runtime "
            "gnome-keyring-daemon --foreground --unlock --components=secrets <<< corvanta-test")
            .arg(shellQuoted(address()), shellQuoted(directory_));
    keyring_ = std::make_unique<ChildProcess>(
        "/bin/bash", std::vector<std::string>{"-c", command.toStdString()});
    keyring_->discardRemainingOutput();
}

PrivateKeyring::~PrivateKeyring() {
    keyring_.reset();
    bus_.reset();
}

bool PrivateKeyring::waitUntilServing(int seconds) const {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000) {
        QProcess query;
        query.start(QStringLiteral("dbus-send"),
                    {QStringLiteral("--bus=") + address(), QStringLiteral("--print-reply"),
                     QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/"),
                     QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                     QStringLiteral("string:org.freedesktop.secrets")});
        if (query.waitForFinished(5000) && query.readAllStandardOutput().contains("true")) {
            return true;
        }
        QThread::msleep(50);
    }
    return false;
}

}  // namespace corvanta::testing
