#pragma once

#include <QByteArray>
#include <QString>

namespace corvanta::backend {

// One part of a multipart/form-data body; a part with a file name is sent as a file.
struct MultipartPart {
    QString name;
    QString filename;
    QString mimeType;
    QByteArray data;
};

}  // namespace corvanta::backend
