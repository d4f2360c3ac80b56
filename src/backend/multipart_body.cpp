#include "backend/multipart_body.h"

#include "backend/api_error.h"

namespace corvanta::backend {
namespace {

QByteArray utf8(const QString& text) {
    if (!text.isValidUtf16()) {
        throw APIError(APIError::Kind::invalidRequest);
    }
    return text.toUtf8();
}

}  // namespace

QByteArray multipartBody(const QList<MultipartPart>& parts, const QString& boundary) {
    const QByteArray crlf("\r\n");
    const QByteArray b = utf8(boundary);
    QByteArray body;
    for (const MultipartPart& part : parts) {
        body += "--" + b + crlf;
        if (!part.filename.isEmpty()) {
            body += "Content-Disposition: form-data; name=\"" + utf8(part.name) +
                    "\"; filename=\"" + utf8(part.filename) + "\"" + crlf;
            body += "Content-Type: " + utf8(part.mimeType) + crlf + crlf;
        } else {
            body +=
                "Content-Disposition: form-data; name=\"" + utf8(part.name) + "\"" + crlf + crlf;
        }
        body += part.data;
        body += crlf;
    }
    body += "--" + b + "--" + crlf;
    return body;
}

}  // namespace corvanta::backend
