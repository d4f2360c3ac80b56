#include "app/profile_lock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/private_directory.h"

namespace corvanta::app {

ProfileLock::ProfileLock(QString directory) {
    if (directory.isEmpty()) {
        directory = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    }
    path_ = directory + QStringLiteral("/corvanta.lock");
}

ProfileLock::Outcome ProfileLock::acquire() {
    if (!platform::makePrivateDirectory(QFileInfo(path_).absolutePath())) {
        return Outcome::unavailable;
    }
    lock_ = std::make_unique<QLockFile>(path_);
    // No age limit: a client may run for months. A lock is stale only when its process is gone.
    lock_->setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (lock_->tryLock(0)) {
            return Outcome::acquired;
        }
        if (lock_->error() != QLockFile::LockFailedError) {
            lock_.reset();
            return Outcome::unavailable;
        }
        QString host;
        QString application;
        if (!lock_->getLockInfo(&holderPid_, &host, &application)) {
            holderPid_ = 0;
        }
        // A dead client whose process id this process was given again looks alive.
        if (holderPid_ != QCoreApplication::applicationPid() || !lock_->removeStaleLockFile()) {
            break;
        }
    }
    lock_.reset();
    return Outcome::heldByOther;
}

}  // namespace corvanta::app
