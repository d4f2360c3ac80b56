#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace corvanta::app {

// One client per profile. The first instance holds a lock file in the data directory for as long
// as it runs; a lock left behind by a process that has died is taken over. A second instance
// stops before it opens anything of the profile (settings, databases, secrets).
class ProfileLock {
public:
    enum class Outcome {
        acquired,     // this process holds the profile
        heldByOther,  // another live client holds it (holderPid())
        unavailable,  // the lock file cannot be made (unwritable folder): run unguarded
    };

    // The lock file in `directory`, or in the application-data directory when none is given.
    explicit ProfileLock(QString directory = {});

    Outcome acquire();
    // The process holding the profile after `heldByOther`; 0 when it cannot be read.
    qint64 holderPid() const { return holderPid_; }
    const QString& path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    qint64 holderPid_ = 0;
};

}  // namespace corvanta::app
