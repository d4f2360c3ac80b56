#pragma once

#include <QUrl>

namespace corvanta::backend {

// The backend's base URL: the environment variable CORVANTA_API_BASE_URL when set and not
// empty, else the one compiled in (the CMake cache variable of the same name).
QUrl apiBaseURL();

}  // namespace corvanta::backend
