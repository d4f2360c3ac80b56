#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <optional>

namespace corvanta::backend {

// An endpoint turned into what the network layer sends.
struct PreparedRequest {
    QNetworkRequest request;
    QByteArray method;
    std::optional<QByteArray> body;
};

}  // namespace corvanta::backend
