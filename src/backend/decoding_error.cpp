#include "backend/decoding_error.h"

namespace corvanta::backend {
namespace {

QString kindText(DecodingError::Kind kind) {
    switch (kind) {
        case DecodingError::Kind::typeMismatch:
            return QStringLiteral("type mismatch");
        case DecodingError::Kind::valueNotFound:
            return QStringLiteral("value missing");
        case DecodingError::Kind::keyNotFound:
            return QStringLiteral("key missing");
        case DecodingError::Kind::dataCorrupted:
            return QStringLiteral("data corrupted");
    }
    return {};
}

}  // namespace

DecodingError::DecodingError(Kind kind, QString path, QString debugDescription)
    : kind_(kind), path_(std::move(path)), debugDescription_(std::move(debugDescription)) {
    what_ = localizedDescription().toStdString();
}

QString DecodingError::localizedDescription() const {
    const QString where = path_.isEmpty() ? QStringLiteral("the reply") : path_;
    return kindText(kind_) + QStringLiteral(" at ") + where + QStringLiteral(": ") +
           debugDescription_;
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
