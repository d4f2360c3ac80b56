#include "backend/api_client.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>

#include "async/queued_stop_callback.h"
#include "backend/bounded_reply.h"
#include "backend/errors.h"
#include "backend/form_encoding.h"
#include "backend/request_interceptor.h"
#include "platform/system_log.h"

namespace corvanta::backend {
namespace {

bool isLoopbackHost(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// TLS always, except to this machine: plain HTTP never leaves it.
bool isAllowedTarget(const QUrl& url) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && isLoopbackHost(url.host()));
}

// Scheme, host and port, with the scheme's default port filled in.
bool sameOrigin(const QUrl& a, const QUrl& b) {
    const auto defaultPort = [](const QUrl& url) {
        const QString scheme = url.scheme().toLower();
        return url.port(scheme == QLatin1String("https")  ? 443
                        : scheme == QLatin1String("http") ? 80
                                                          : -1);
    };
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && defaultPort(a) == defaultPort(b);
}

bool validText(const FormParameters& parameters) {
    for (auto it = parameters.begin(); it != parameters.end(); ++it) {
        if (!it.key().isValidUtf16() || !it.value().isValidUtf16()) {
            return false;
        }
    }
    return true;
}

// Error codes Qt derives from the HTTP status itself; the status decides those replies.
bool isStatusError(QNetworkReply::NetworkError error) {
    return (error >= QNetworkReply::ContentAccessDenied &&
            error <= QNetworkReply::UnknownContentError) ||
           (error >= QNetworkReply::InternalServerError &&
            error <= QNetworkReply::UnknownServerError);
}

}  // namespace

ApiClient::ApiClient(TokenManager& tokens, QObject* parent)
    : QObject(parent), network_(new QNetworkAccessManager(this)) {
    interceptors_.push_back(std::make_unique<TokenInjector>(tokens));
}

ApiClient::~ApiClient() = default;

PreparedRequest ApiClient::buildRequest(const Endpoint& endpoint) const {
    QUrl url = endpoint.baseUrl();
    if (!isAllowedTarget(url)) {
        throw ApiError(ApiError::Kind::invalidUrl);
    }

    QString basePath = url.path();
    while (basePath.endsWith(QLatin1Char('/'))) {
        basePath.chop(1);
    }
    QString path = endpoint.path();
    while (path.startsWith(QLatin1Char('/'))) {
        path.remove(0, 1);
    }
    url.setPath(basePath + QLatin1Char('/') + path);
    if (const auto items = endpoint.queryItems()) {
        // Encoded like form fields, so "+" and "&" in a value arrive as themselves.
        QStringList pairs;
        for (const auto& [name, value] : *items) {
            pairs << percentEncodeFormComponent(name) + QLatin1Char('=') +
                         percentEncodeFormComponent(value);
        }
        url.setQuery(pairs.join(QLatin1Char('&')), QUrl::StrictMode);
    }
    if (!url.isValid()) {
        throw ApiError(ApiError::Kind::invalidUrl);
    }

    PreparedRequest prepared;
    prepared.request = QNetworkRequest(url);
    // Each redirect is checked against the same rule as the base URL (see send).
    prepared.request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                                  QNetworkRequest::UserVerifiedRedirectPolicy);
    prepared.method = httpMethodText(endpoint.method());
    if (const auto headers = endpoint.headers()) {
        for (auto it = headers->begin(); it != headers->end(); ++it) {
            prepared.request.setRawHeader(it.key().toUtf8(), it.value().toUtf8());
        }
    }

    const auto form = endpoint.formParameters();
    if (form && !form->isEmpty()) {
        if (!validText(*form)) {
            throw ApiError(ApiError::Kind::invalidRequest);
        }
        prepared.body = formEncode(*form).toUtf8();
        prepared.request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    } else if (auto body = endpoint.body()) {
        prepared.body = std::move(*body);
        prepared.request.setRawHeader("Content-Type", "application/json");
    }
    return prepared;
}

QCoro::Task<HttpResponse> ApiClient::perform(const Endpoint& endpoint, std::stop_token stop) {
    PreparedRequest prepared = buildRequest(endpoint);
    for (const auto& interceptor : interceptors_) {
        prepared.request = co_await interceptor->intercept(std::move(prepared.request));
    }
    co_return co_await send(std::move(prepared), std::move(stop));
}

QCoro::Task<HttpResponse> ApiClient::send(PreparedRequest prepared, std::stop_token stop) {
    if (stop.stop_requested()) {
        throw TransportError::cancelled();
    }
    // A POST without body still goes out with "Content-Length: 0"; some servers otherwise
    // wait for a body until they time out.
    const bool bodiless =
        !prepared.body && (prepared.method == "GET" || prepared.method == "DELETE");
    QNetworkReply* raw = bodiless
                             ? network_->sendCustomRequest(prepared.request, prepared.method)
                             : network_->sendCustomRequest(prepared.request, prepared.method,
                                                           prepared.body.value_or(QByteArray()));
    BoundedReply transfer(raw, {timeouts_.request, timeouts_.resource, kMaxReplyBytes});
    const async::QueuedStopCallback abortOnStop(stop, raw, [raw] { raw->abort(); });
    // The token header and the form body (the key, on a sign-in) go wherever a redirect leads,
    // so one that leaves the backend's origin (scheme, host or port) is refused before it is
    // followed; one that stays is checked like the base URL.
    auto refusedRedirect = std::make_shared<QUrl>();
    const QUrl origin = prepared.request.url();
    QObject::connect(
        raw, &QNetworkReply::redirected, raw, [raw, refusedRedirect, origin](const QUrl& to) {
            if (sameOrigin(to, origin) && isAllowedTarget(to)) {
                emit raw->redirectAllowed();
            } else {
                *refusedRedirect = to;
                QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection);
            }
        });
    co_await transfer.finished();
    if (!refusedRedirect->isEmpty()) {
        const auto originOnly =
            QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment;
        qCWarning(platform::authLog).noquote()
            << QStringLiteral("refused a redirect of %1 from %2 to %3")
                   .arg(origin.path(), origin.toString(originOnly),
                        refusedRedirect->toString(originOnly));
        throw ApiError(ApiError::Kind::invalidResponse);
    }

    const QNetworkReply::NetworkError error = raw->error();
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (transfer.oversized()) {
        throw ApiError(ApiError::Kind::invalidResponse);
    }
    if (transfer.timedOut()) {
        throw TransportError::timedOut();
    }
    if (error != QNetworkReply::NoError && !isStatusError(error)) {
        if (error >= QNetworkReply::ProtocolUnknownError &&
            error <= QNetworkReply::ProtocolFailure) {
            throw ApiError(ApiError::Kind::invalidResponse);
        }
        throw TransportError(error, raw->errorString());
    }
    if (!status.isValid()) {
        throw ApiError(ApiError::Kind::invalidResponse);
    }
    const int code = status.toInt();
    if (code >= 200 && code <= 299) {
        co_return HttpResponse{transfer.takeBody(), code};
    }
    if (code == 401) {
        throw ApiError(ApiError::Kind::unauthorized);
    }
    throw ApiError::httpError(code, transfer.takeBody());
}

QCoro::Task<ApiResponse> ApiClient::performEnvelope(const Endpoint& endpoint,
                                                    std::stop_token stop) {
    const HttpResponse response = co_await perform(endpoint, std::move(stop));
    ApiResponse envelope;
    try {
        envelope = ApiResponse::parse(response.body);
    } catch (const DecodingError& error) {
        throw ApiError::decodingFailed(error);
    }
    if (envelope.code == 401) {
        throw ApiError(ApiError::Kind::unauthorized);
    }
    if (envelope.code != 1) {
        throw ApiError::serverError(envelope.msg);
    }
    co_return envelope;
}

QCoro::Task<> ApiClient::requestEmpty(const Endpoint& endpoint, std::stop_token stop) {
    co_await performEnvelope(endpoint, std::move(stop));
}

void ApiClient::throwEmptyData() {
    throw ApiError::emptyData();
}

}  // namespace corvanta::backend
