#pragma once

#include <QByteArray>

namespace corvanta::backend {

enum class HTTPMethod { get, post, put, patch, delete_ };

inline QByteArray httpMethodText(HTTPMethod method) {
    switch (method) {
        case HTTPMethod::get:
            return QByteArrayLiteral("GET");
        case HTTPMethod::post:
            return QByteArrayLiteral("POST");
        case HTTPMethod::put:
            return QByteArrayLiteral("PUT");
        case HTTPMethod::patch:
            return QByteArrayLiteral("PATCH");
        case HTTPMethod::delete_:
            return QByteArrayLiteral("DELETE");
    }
    return {};
}

}  // namespace corvanta::backend
