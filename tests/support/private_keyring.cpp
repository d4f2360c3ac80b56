#include "support/private_keyring.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace corvanta::testing {
namespace {

QString shellQuoted(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

}  // namespace

QString PrivateKeyring::addressFor(const QString& directory) {
    return PrivateSessionBus::addressFor(directory);
}

PrivateKeyring::PrivateKeyring(const QString& directory)
    : directory_(directory), bus_(std::make_unique<PrivateSessionBus>(directory)) {
    for (const char* sub : {"data", "config", "runtime", "home"}) {
        QDir(directory_).mkdir(QString::fromLatin1(sub));
        QFile::setPermissions(directory_ + QLatin1Char('/') + QString::fromLatin1(sub),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
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
