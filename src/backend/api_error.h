#pragma once

#include <QByteArray>
#include <optional>

#include "backend/backend_error.h"
#include "backend/decoding_error.h"

namespace corvanta::backend {

// The client's own errors. HTTP status 401 and envelope code 401 both come out as
// `unauthorized`: the sign-in has ended.
class APIError : public BackendError {
public:
    enum class Kind {
        httpError,
        decodingFailed,
        serverError,
        invalidURL,
        invalidRequest,
        invalidResponse,
        unauthorized,
        cancelled,
    };

    // For the cases without payload.
    explicit APIError(Kind kind);
    static APIError httpError(int statusCode, std::optional<QByteArray> data);
    static APIError decodingFailed(DecodingError error);
    static APIError serverError(QString message);

    Kind kind() const { return kind_; }
    int statusCode() const { return statusCode_; }
    const std::optional<QByteArray>& data() const { return data_; }
    const std::optional<DecodingError>& decodingError() const { return decodingError_; }
    const QString& message() const { return message_; }

    QString localizedDescription() const override;

private:
    void fillWhat() { setWhat(localizedDescription()); }

    Kind kind_;
    int statusCode_ = 0;
    std::optional<QByteArray> data_;
    std::optional<DecodingError> decodingError_;
    QString message_;
};

}  // namespace corvanta::backend
