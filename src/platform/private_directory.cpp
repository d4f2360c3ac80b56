#include "platform/private_directory.h"

#include <sys/stat.h>

#include <QDir>
#include <QStringList>

#include <cerrno>

namespace corvanta::platform {
namespace {

constexpr mode_t kPrivateMode = 0700;

// Creates one folder 0700, or finds it there; `tighten` also narrows an existing one.
bool ensureFolder(const QByteArray& path, bool tighten) {
    if (::mkdir(path.constData(), kPrivateMode) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;  // as mkdir -p says it
        return false;
    }
    if (tighten && (info.st_mode & 077) != 0) {
        ::chmod(path.constData(), kPrivateMode);
    }
    return true;
}

// Every missing folder of `path`, from the root down; existing ones are left alone.
bool ensureFolders(const QString& path) {
    const QString clean = QDir::cleanPath(QDir(path).absolutePath());
    QString walked;
    for (const QString& part : clean.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked += QLatin1Char('/') + part;
        if (!ensureFolder(QFile::encodeName(walked), false)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool makePrivateDirectory(const QString& path) {
    return !path.isEmpty() && ensureFolders(path);
}

bool makePrivateDirectory(const QString& home, const QString& relative) {
    if (home.isEmpty() || !ensureFolders(home)) {
        return false;
    }
    QString walked = QDir::cleanPath(QDir(home).absolutePath());
    for (const QString& part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked += QLatin1Char('/') + part;
        if (!ensureFolder(QFile::encodeName(walked), true)) {
            return false;
        }
    }
    return true;
}

}  // namespace corvanta::platform
