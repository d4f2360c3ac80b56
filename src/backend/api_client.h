#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QNetworkRequest>
#include <QObject>
#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "backend/endpoints.h"
#include "backend/errors.h"
#include "backend/json_decoding.h"
#include "backend/request_interceptor.h"

class QNetworkAccessManager;

namespace corvanta::backend {

class TokenManager;

// An endpoint turned into what the network layer sends.
struct PreparedRequest {
    QNetworkRequest request;
    QByteArray method;
    std::optional<QByteArray> body;
};

// A reply with a 2xx status, body complete.
struct HttpResponse {
    QByteArray body;
    int statusCode = 0;
};

// Every call to the backend. Builds the request from an endpoint, passes it through the
// interceptors (the token), sends it, classifies the HTTP status and decodes the JSON
// envelope into the caller's record.
//
// Errors: ApiError for the client's own findings, TransportError for transfers without an HTTP
// answer (no connection, TLS refused, time-out, the caller's stop). A stop requested on the
// caller's token aborts the transfer at once.
//
// Main thread only. The endpoint is read completely before a call first suspends, so a temporary
// endpoint is fine.
class ApiClient : public QObject {
    Q_OBJECT

public:
    struct Timeouts {
        std::chrono::milliseconds request{30000};   // longest silence within a transfer
        std::chrono::milliseconds resource{60000};  // longest whole transfer
    };
    static constexpr qint64 kMaxReplyBytes = 8 * 1024 * 1024;

    explicit ApiClient(TokenManager& tokens, QObject* parent = nullptr);
    ~ApiClient() override;

    void setTimeouts(Timeouts timeouts) { timeouts_ = timeouts; }
    Timeouts timeouts() const { return timeouts_; }
    QNetworkAccessManager& network() { return *network_; }

    // Throws ApiError invalidUrl (base URL not https, or http to a host that is not loopback) or
    // invalidRequest.
    PreparedRequest buildRequest(const Endpoint& endpoint) const;

    // Build, intercept, send, classify the status; the body of a 2xx reply.
    QCoro::Task<HttpResponse> perform(const Endpoint& endpoint, std::stop_token stop = {});

    // The envelope's data as T; a success without data is a serverError.
    template <class T>
    QCoro::Task<T> request(const Endpoint& endpoint, std::stop_token stop = {});
    // As request, but a success without data gives nothing.
    template <class T>
    QCoro::Task<std::optional<T>> requestOptional(const Endpoint& endpoint,
                                                  std::stop_token stop = {});
    // Only the envelope's code counts; data is ignored, whatever it holds.
    QCoro::Task<> requestEmpty(const Endpoint& endpoint, std::stop_token stop = {});

private:
    // perform + the envelope: returns it when code is 1, throws for 401 and other codes.
    QCoro::Task<ApiResponse> performEnvelope(const Endpoint& endpoint, std::stop_token stop);
    QCoro::Task<HttpResponse> send(PreparedRequest prepared, std::stop_token stop);

    template <class T>
    static T decodeData(const nlohmann::json& data);
    [[noreturn]] static void throwEmptyData();

    QNetworkAccessManager* network_;  // child
    std::vector<std::unique_ptr<RequestInterceptor>> interceptors_;
    Timeouts timeouts_;
};

template <class T>
T ApiClient::decodeData(const nlohmann::json& data) {
    try {
        return JsonDecode<T>::decode(data, QStringLiteral("data"));
    } catch (const DecodingError& error) {
        throw ApiError::decodingFailed(error);
    } catch (const nlohmann::json::exception&) {
        throw ApiError::decodingFailed(DecodingError(
            DecodingError::Kind::dataCorrupted, QStringLiteral("data"),
            DecodingError::expectedButGot(QStringLiteral("a record this client can read"),
                                          JsonReader::describeValue(data))));
    }
}

template <class T>
QCoro::Task<T> ApiClient::request(const Endpoint& endpoint, std::stop_token stop) {
    const ApiResponse envelope = co_await performEnvelope(endpoint, std::move(stop));
    if (envelope.data.is_null()) {
        throwEmptyData();
    }
    co_return decodeData<T>(envelope.data);
}

template <class T>
QCoro::Task<std::optional<T>> ApiClient::requestOptional(const Endpoint& endpoint,
                                                         std::stop_token stop) {
    const ApiResponse envelope = co_await performEnvelope(endpoint, std::move(stop));
    if (envelope.data.is_null()) {
        co_return std::nullopt;
    }
    co_return decodeData<T>(envelope.data);
}

}  // namespace corvanta::backend
