#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>

#include "backend/errors.h"
#include "platform/string_table.h"
#include "ui/error_text.h"

namespace corvanta::ui {
namespace {

using backend::ApiError;
using backend::DecodingError;
using backend::TransportError;
using platform::localized;

// Pages word a backend error from the string table; the run log and the terminal take the
// error's own English line. While the table is English the two must not drift apart.
TEST(ErrorText, BackendErrorsInTheStringTablesWords) {
    struct Case {
        std::shared_ptr<backend::BackendError> error;
        QString text;
    };
    const auto api = [](ApiError error) { return std::make_shared<ApiError>(std::move(error)); };
    const auto transport = [](TransportError error) {
        return std::make_shared<TransportError>(std::move(error));
    };
    const DecodingError decoding(DecodingError::Kind::typeMismatch, QStringLiteral("data.id"),
                                 QStringLiteral("expected text, got 5"));
    const std::vector<Case> cases = {
        {api(ApiError::httpError(502, QByteArray("x"))),
         localized(QStringLiteral("api_error_http_error")).arg(502)},
        {api(ApiError::decodingFailed(decoding)),
         localized(QStringLiteral("api_error_decoding_failed"))
             .arg(QStringLiteral("data.id: expected text, got 5"))},
        {api(ApiError::emptyData()), localized(QStringLiteral("api_error_empty_data"))},
        {api(ApiError(ApiError::Kind::invalidUrl)),
         localized(QStringLiteral("api_error_invalid_url"))},
        {api(ApiError(ApiError::Kind::invalidRequest)),
         localized(QStringLiteral("api_error_invalid_request"))},
        {api(ApiError(ApiError::Kind::invalidResponse)),
         localized(QStringLiteral("api_error_invalid_response"))},
        {api(ApiError(ApiError::Kind::unauthorized)), localized(QStringLiteral("unauthorized"))},
        {api(ApiError(ApiError::Kind::cancelled)),
         localized(QStringLiteral("api_error_cancelled"))},
        {transport(TransportError::cancelled()),
         localized(QStringLiteral("network_error_cancelled"))},
        {transport(TransportError::timedOut()),
         localized(QStringLiteral("network_error_timed_out"))},
        {transport(TransportError(QNetworkReply::SslHandshakeFailedError,
                                  QStringLiteral("bad certificate"))),
         localized(QStringLiteral("network_error_tls")).arg(QStringLiteral("bad certificate"))},
        {transport(TransportError(QNetworkReply::ConnectionRefusedError,
                                  QStringLiteral("Connection refused"))),
         localized(QStringLiteral("network_error_connection"))
             .arg(QStringLiteral("Connection refused"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_FALSE(c.text.contains(u'_'));  // a text of the table, not a bare key
        EXPECT_EQ(errorText(*c.error), c.text);
        EXPECT_EQ(c.error->description(), c.text);
        EXPECT_EQ(QString::fromUtf8(c.error->what()), c.text);
    }

    // A server's message stands as it came; other errors as they describe themselves.
    EXPECT_EQ(errorText(ApiError::serverError(QStringLiteral("busy"))), QStringLiteral("busy"));
    EXPECT_EQ(errorText(decoding), QStringLiteral("data.id: expected text, got 5"));
    EXPECT_EQ(errorText(std::runtime_error("boom")), QStringLiteral("boom"));
}

}  // namespace
}  // namespace corvanta::ui
