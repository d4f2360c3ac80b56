#pragma once

#include <QNetworkReply>

#include "backend/backend_error.h"

namespace corvanta::backend {

// A transfer that did not produce an HTTP answer: no connection, TLS refused, time-out, or the
// caller's stop. Passed to callers unchanged, as the network layer reported it.
class TransportError : public BackendError {
public:
    TransportError(QNetworkReply::NetworkError code, QString detail);

    static TransportError cancelled();
    static TransportError timedOut();

    QNetworkReply::NetworkError code() const { return code_; }
    const QString& detail() const { return detail_; }
    bool isCancellation() const { return code_ == QNetworkReply::OperationCanceledError; }
    bool isTimeout() const { return code_ == QNetworkReply::TimeoutError; }

    QString localizedDescription() const override;

private:
    QNetworkReply::NetworkError code_;
    QString detail_;
};

}  // namespace corvanta::backend
