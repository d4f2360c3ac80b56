#include "ui/error_text.h"

#include "backend/errors.h"
#include "platform/string_table.h"

namespace corvanta::ui {
namespace {

using backend::ApiError;
using backend::TransportError;
using platform::localized;

QString apiErrorText(const ApiError& error) {
    switch (error.kind()) {
        case ApiError::Kind::httpError:
            return localized(QStringLiteral("api_error_http_error")).arg(error.statusCode());
        case ApiError::Kind::decodingFailed:
            return localized(QStringLiteral("api_error_decoding_failed"))
                .arg(error.decodingError() ? error.decodingError()->description() : QString());
        case ApiError::Kind::serverError:
            return error.isEmptyData() ? localized(QStringLiteral("api_error_empty_data"))
                                       : error.message();
        case ApiError::Kind::invalidUrl:
            return localized(QStringLiteral("api_error_invalid_url"));
        case ApiError::Kind::invalidRequest:
            return localized(QStringLiteral("api_error_invalid_request"));
        case ApiError::Kind::invalidResponse:
            return localized(QStringLiteral("api_error_invalid_response"));
        case ApiError::Kind::unauthorized:
            return localized(QStringLiteral("unauthorized"));
        case ApiError::Kind::cancelled:
            return localized(QStringLiteral("api_error_cancelled"));
    }
    return {};
}

QString transportErrorText(const TransportError& error) {
    switch (error.code()) {
        case QNetworkReply::OperationCanceledError:
            return localized(QStringLiteral("network_error_cancelled"));
        case QNetworkReply::TimeoutError:
            return localized(QStringLiteral("network_error_timed_out"));
        case QNetworkReply::SslHandshakeFailedError:
            return localized(QStringLiteral("network_error_tls")).arg(error.detail());
        default:
            return localized(QStringLiteral("network_error_connection")).arg(error.detail());
    }
}

}  // namespace

QString errorText(const std::exception& error) {
    if (const auto* api = dynamic_cast<const ApiError*>(&error)) {
        return apiErrorText(*api);
    }
    if (const auto* transport = dynamic_cast<const TransportError*>(&error)) {
        return transportErrorText(*transport);
    }
    return QString::fromUtf8(error.what());
}

}  // namespace corvanta::ui
