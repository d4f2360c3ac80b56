#include "platform/launch_at_login_service.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <stdexcept>

#include "platform/private_directory.h"

namespace corvanta::platform {

namespace {

// Desktop entries quote arguments with double quotes and escape these four inside them.
QString quotedExec(const QString& path) {
    QString escaped;
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            escaped += u'\\';
        }
        escaped += c;
    }
    return u'"' + escaped + u'"';
}

}  // namespace

LaunchAtLoginService::LaunchAtLoginService(QString autostartDirectory, QString executable)
    : directory_(std::move(autostartDirectory)), executable_(std::move(executable)) {
    if (directory_.isEmpty()) {
        directory_ = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                     QStringLiteral("/autostart");
    }
}

QString LaunchAtLoginService::entryPath() const {
    return directory_ + QStringLiteral("/corvanta.desktop");
}

bool LaunchAtLoginService::isEnabled() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (equals > 0 && line.left(equals).trimmed() == QLatin1String("Hidden") &&
            line.mid(equals + 1).trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) ==
                0) {
            return false;
        }
    }
    return true;
}

void LaunchAtLoginService::setEnabled(bool enabled) {
    const bool current = isEnabled();
    if (enabled == current) {
        return;
    }
    if (!enabled) {
        if (!QFile::remove(entryPath())) {
            throw std::runtime_error("cannot remove the autostart entry");
        }
        return;
    }
    if (!makePrivateDirectory(directory_)) {
        throw std::runtime_error("cannot create the autostart folder");
    }
    const QString executable =
        executable_.isEmpty() ? QCoreApplication::applicationFilePath() : executable_;
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        throw std::runtime_error("cannot write the autostart entry");
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta\n"
                              "Exec=%1\n"
                              "Icon=corvanta\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(quotedExec(executable));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        throw std::runtime_error("cannot write the autostart entry");
    }
}

}  // namespace corvanta::platform
