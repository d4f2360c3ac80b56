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

// The Exec value of a desktop entry that runs `path`, arguments aside. Two layers of escaping
// apply, innermost first: the argument is quoted with double quotes, inside which ", `, $ and the
// backslash take a backslash, and % (which starts a field code anywhere in the value) is doubled;
// then the value as a whole is a key-file string, in which a backslash is written \\ and line
// breaks and tabs have escapes of their own. A $ in the path is therefore written \\$ in the file.
QString execValue(const QString& path) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : path) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        } else if (c == u'%') {
            quoted += u'%';
        }
        quoted += c;
    }
    quoted += u'"';
    QString value;
    for (const QChar c : quoted) {
        switch (c.unicode()) {
            case u'\\':
                value += QStringLiteral("\\\\");
                break;
            case u'\n':
                value += QStringLiteral("\\n");
                break;
            case u'\t':
                value += QStringLiteral("\\t");
                break;
            case u'\r':
                value += QStringLiteral("\\r");
                break;
            default:
                value += c;
        }
    }
    return value;
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
    writeEntry();
}

void LaunchAtLoginService::refreshEntry() {
    if (!isEnabled()) {
        return;
    }
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return;
    }
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    if (!text.contains(QStringLiteral(" --tray\n"))) {
        writeEntry();
    }
}

void LaunchAtLoginService::writeEntry() {
    if (!makePrivateDirectory(directory_)) {
        throw std::runtime_error("cannot create the autostart folder");
    }
    const QString executable =
        executable_.isEmpty() ? QCoreApplication::applicationFilePath() : executable_;
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        throw std::runtime_error("cannot write the autostart entry");
    }
    // Started at login, the client goes to the tray without a window (where there is a tray).
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Corvanta\n"
                              "Exec=%1 --tray\n"
                              "Icon=corvanta\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(executable));
    file.write(entry.toUtf8());
    if (!file.commit()) {
        throw std::runtime_error("cannot write the autostart entry");
    }
}

}  // namespace corvanta::platform
