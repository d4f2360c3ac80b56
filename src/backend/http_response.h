#pragma once

#include <QByteArray>

namespace corvanta::backend {

// A reply with a 2xx status, body complete.
struct HTTPResponse {
    QByteArray body;
    int statusCode = 0;
};

}  // namespace corvanta::backend
