#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "backend/multipart_part.h"

namespace corvanta::backend {

// The multipart/form-data body of `parts` with `boundary`. Throws APIError invalidRequest when a
// text cannot be written as UTF-8.
QByteArray multipartBody(const QList<MultipartPart>& parts, const QString& boundary);

}  // namespace corvanta::backend
