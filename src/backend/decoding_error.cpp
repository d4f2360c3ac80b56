#include "backend/decoding_error.h"

namespace corvanta::backend {

DecodingError::DecodingError(Kind kind, QString path, QString debugDescription)
    : kind_(kind), path_(std::move(path)), debugDescription_(std::move(debugDescription)) {
    what_ = localizedDescription().toStdString();
}

QString DecodingError::expectedButGot(const QString& expected, const QString& found) {
    return QStringLiteral("expected ") + expected + QStringLiteral(", got ") + found;
}

QString DecodingError::localizedDescription() const {
    const QString where = path_.isEmpty() ? QStringLiteral("the reply") : path_;
    return where + QStringLiteral(": ") + debugDescription_;
}

DecodingError DecodingError::within(const QString& prefix) const {
    if (path_.isEmpty()) {
        return DecodingError(kind_, prefix, debugDescription_);
    }
    const QString joined =
        path_.startsWith(QLatin1Char('[')) ? prefix + path_ : prefix + QLatin1Char('.') + path_;
    return DecodingError(kind_, joined, debugDescription_);
}

}  // namespace corvanta::backend
