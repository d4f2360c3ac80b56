#include "backend/errors.h"

namespace corvanta::backend {

DecodingError::DecodingError(Kind kind, QString path, QString debugDescription)
    : kind_(kind), path_(std::move(path)), debugDescription_(std::move(debugDescription)) {
    what_ = description().toStdString();
}

QString DecodingError::expectedButGot(const QString& expected, const QString& found) {
    return QStringLiteral("expected ") + expected + QStringLiteral(", got ") + found;
}

QString DecodingError::description() const {
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

const char* BackendError::what() const noexcept {
    return what_.c_str();
}

ApiError::ApiError(Kind kind) : kind_(kind) {
    fillWhat();
}

ApiError ApiError::httpError(int statusCode, std::optional<QByteArray> data) {
    ApiError error(Kind::httpError);
    error.statusCode_ = statusCode;
    error.data_ = std::move(data);
    error.fillWhat();
    return error;
}

ApiError ApiError::decodingFailed(DecodingError decodingError) {
    ApiError error(Kind::decodingFailed);
    error.decodingError_ = std::move(decodingError);
    error.fillWhat();
    return error;
}

ApiError ApiError::serverError(QString message) {
    ApiError error(Kind::serverError);
    error.message_ = std::move(message);
    error.fillWhat();
    return error;
}

ApiError ApiError::emptyData() {
    ApiError error(Kind::serverError);
    error.emptyData_ = true;
    error.fillWhat();
    return error;
}

// The same sentences as the string table's "api_error_*" and "unauthorized" in English; the run
// log has always shown them.
QString ApiError::description() const {
    switch (kind_) {
        case Kind::httpError:
            return QStringLiteral("The server answered with HTTP status %1.").arg(statusCode_);
        case Kind::decodingFailed:
            return QStringLiteral("The server's reply could not be read (%1).")
                .arg(decodingError_ ? decodingError_->description() : QString());
        case Kind::serverError:
            return emptyData_ ? QStringLiteral("The server's reply carried no data.") : message_;
        case Kind::invalidUrl:
            return QStringLiteral("The server address is not valid.");
        case Kind::invalidRequest:
            return QStringLiteral("The request could not be put together.");
        case Kind::invalidResponse:
            return QStringLiteral("The server's reply was not usable.");
        case Kind::unauthorized:
            return QStringLiteral("Your sign-in has ended. Please sign in again.");
        case Kind::cancelled:
            return QStringLiteral("The request was cancelled.");
    }
    return {};
}

TransportError::TransportError(QNetworkReply::NetworkError code, QString detail)
    : code_(code), detail_(std::move(detail)) {
    setWhat(description());
}

TransportError TransportError::cancelled() {
    return TransportError(QNetworkReply::OperationCanceledError,
                          QStringLiteral("Operation canceled"));
}

TransportError TransportError::timedOut() {
    return TransportError(QNetworkReply::TimeoutError, QStringLiteral("Request timed out"));
}

// The same sentences as the string table's "network_error_*" in English.
QString TransportError::description() const {
    switch (code_) {
        case QNetworkReply::OperationCanceledError:
            return QStringLiteral("The request was cancelled.");
        case QNetworkReply::TimeoutError:
            return QStringLiteral("The server did not answer in time.");
        case QNetworkReply::SslHandshakeFailedError:
            return QStringLiteral("The server's identity could not be verified (%1).").arg(detail_);
        default:
            return QStringLiteral("The server could not be reached (%1).").arg(detail_);
    }
}

}  // namespace corvanta::backend
