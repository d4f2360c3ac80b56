#include "backend/api_base_url.h"

#include <QtGlobal>

namespace corvanta::backend {

QUrl apiBaseURL() {
    const QString fromEnvironment = qEnvironmentVariable("CORVANTA_API_BASE_URL").trimmed();
    if (!fromEnvironment.isEmpty()) {
        return QUrl(fromEnvironment);
    }
    return QUrl(QStringLiteral(CORVANTA_API_BASE_URL));
}

}  // namespace corvanta::backend
