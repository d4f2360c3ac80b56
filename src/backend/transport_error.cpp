#include "backend/transport_error.h"

#include "platform/string_table.h"

namespace corvanta::backend {

using platform::localized;

TransportError::TransportError(QNetworkReply::NetworkError code, QString detail)
    : code_(code), detail_(std::move(detail)) {
    setWhat(localizedDescription());
}

TransportError TransportError::cancelled() {
    return TransportError(QNetworkReply::OperationCanceledError,
                          QStringLiteral("Operation canceled"));
}

TransportError TransportError::timedOut() {
    return TransportError(QNetworkReply::TimeoutError, QStringLiteral("Request timed out"));
}

QString TransportError::localizedDescription() const {
    switch (code_) {
        case QNetworkReply::OperationCanceledError:
            return localized(QStringLiteral("network_error_cancelled"));
        case QNetworkReply::TimeoutError:
            return localized(QStringLiteral("network_error_timed_out"));
        case QNetworkReply::SslHandshakeFailedError:
            return localized(QStringLiteral("network_error_tls")).arg(detail_);
        default:
            return localized(QStringLiteral("network_error_connection")).arg(detail_);
    }
}

}  // namespace corvanta::backend
