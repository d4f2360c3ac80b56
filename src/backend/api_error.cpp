#include "backend/api_error.h"

#include "platform/string_table.h"

namespace corvanta::backend {

using platform::localized;

APIError::APIError(Kind kind) : kind_(kind) {
    fillWhat();
}

APIError APIError::httpError(int statusCode, std::optional<QByteArray> data) {
    APIError error(Kind::httpError);
    error.statusCode_ = statusCode;
    error.data_ = std::move(data);
    error.fillWhat();
    return error;
}

APIError APIError::decodingFailed(DecodingError decodingError) {
    APIError error(Kind::decodingFailed);
    error.decodingError_ = std::move(decodingError);
    error.fillWhat();
    return error;
}

APIError APIError::serverError(QString message) {
    APIError error(Kind::serverError);
    error.message_ = std::move(message);
    error.fillWhat();
    return error;
}

QString APIError::localizedDescription() const {
    switch (kind_) {
        case Kind::httpError:
            return localized(QStringLiteral("api_error_http_error")).arg(statusCode_);
        case Kind::decodingFailed:
            return localized(QStringLiteral("api_error_decoding_failed"))
                .arg(decodingError_ ? decodingError_->localizedDescription() : QString());
        case Kind::serverError:
            return message_;
        case Kind::invalidURL:
            return localized(QStringLiteral("api_error_invalid_url"));
        case Kind::invalidRequest:
            return localized(QStringLiteral("api_error_invalid_request"));
        case Kind::invalidResponse:
            return localized(QStringLiteral("api_error_invalid_response"));
        case Kind::unauthorized:
            return localized(QStringLiteral("unauthorized"));
        case Kind::cancelled:
            return localized(QStringLiteral("api_error_cancelled"));
    }
    return {};
}

}  // namespace corvanta::backend
