#pragma once

#include <QString>

namespace corvanta::platform {

// Folders of this application under the user's homes are readable by this user only (0700):
// they hold the run log, the task progress, the settings and, without a keyring, the secrets.

// Creates `path` and every missing folder above it with mode 0700; a folder that exists already
// keeps its mode. True when `path` is a folder afterwards.
bool makePrivateDirectory(const QString& path);

// As above for `home` (created 0700 when missing, otherwise left alone) followed by the folders
// of `relative` inside it, each of which is this application's: created or tightened to 0700.
bool makePrivateDirectory(const QString& home, const QString& relative);

}  // namespace corvanta::platform
