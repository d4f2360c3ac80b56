#include "ui/svg_image_cache.h"

#include <QCoroFuture>
#include <QHostAddress>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QSvgRenderer>
#include <QtConcurrent>

#include "async/queued_stop_callback.h"
#include "async/resume_slot.h"
#include "backend/bounded_reply.h"
#include "ui/svg_image_disk_cache_store.h"
#include "ui/svg_source_check.h"

namespace corvanta::ui {
namespace {

QString keyOf(const QUrl& url) {
    return QString::fromLatin1(url.toEncoded());
}

bool isLoopbackHost(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// Checked before anything is kept: a reply that is not a drawable SVG (an error page served
// with status 200, a cut transfer) must not stick in the cache for good. One that names files
// or addresses is refused before Qt Svg, which would open them, sees it.
bool isDrawable(const QByteArray& bytes) {
    if (!isSelfContainedSvg(bytes)) {
        return false;
    }
    QSvgRenderer renderer(bytes);
    return renderer.isValid();
}

}  // namespace

SvgImageCache::SvgImageCache(std::shared_ptr<SvgImageDiskCacheStore> store,
                             QNetworkAccessManager* network, QObject* parent)
    : QObject(parent),
      store_(std::move(store)),
      network_(network ? network : new QNetworkAccessManager(this)) {
    // One thread: the files are small, and reads and writes stay in order.
    io_.setMaxThreadCount(1);
}

SvgImageCache::~SvgImageCache() {
    stop_.request_stop();
    io_.waitForDone();
}

bool SvgImageCache::isAllowedSource(const QUrl& url) {
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) {
        return false;
    }
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("https") ||
           (scheme == QLatin1String("http") && isLoopbackHost(url.host()));
}

std::optional<QByteArray> SvgImageCache::cached(const QUrl& url) {
    return memory_.object(keyOf(url));
}

bool SvgImageCache::isLoading(const QUrl& url) const {
    QMutexLocker guard(&inflightLock_);
    return inflight_.contains(keyOf(url));
}

void SvgImageCache::load(const QUrl& url) {
    const QString key = keyOf(url);
    if (const auto hit = memory_.object(key)) {
        emit loaded(url, *hit);
        return;
    }
    if (!isAllowedSource(url)) {
        emit failed(url);
        return;
    }
    {
        QMutexLocker guard(&inflightLock_);
        if (inflight_.contains(key)) {
            return;
        }
        inflight_.insert(key);
    }
    // Ends on its own; dropping the task does not cancel it.
    [[maybe_unused]] auto running = run(url);
}

QCoro::Task<std::optional<QByteArray>> SvgImageCache::fetch(QUrl url) {
    if (auto hit = cached(url)) {
        co_return hit;
    }
    struct Waiter {
        async::ResumeSlot slot;
        std::optional<QByteArray> bytes;
        QMetaObject::Connection onLoaded;
        QMetaObject::Connection onFailed;
    };
    auto waiter = std::make_shared<Waiter>();
    const auto done = [waiter](std::optional<QByteArray> bytes) {
        QObject::disconnect(waiter->onLoaded);
        QObject::disconnect(waiter->onFailed);
        waiter->bytes = std::move(bytes);
        waiter->slot.resume();
    };
    waiter->onLoaded = connect(this, &SvgImageCache::loaded, this,
                               [url, done](const QUrl& which, const QByteArray& bytes) {
                                   if (which == url) {
                                       done(bytes);
                                   }
                               });
    waiter->onFailed = connect(this, &SvgImageCache::failed, this, [url, done](const QUrl& which) {
        if (which == url) {
            done(std::nullopt);
        }
    });
    load(url);
    auto answered = waiter->slot.wait();
    co_await answered;
    co_return waiter->bytes;
}

QCoro::Task<> SvgImageCache::run(QUrl url) {
    const QPointer<SvgImageCache> self(this);
    const std::shared_ptr<SvgImageDiskCacheStore> store = store_;
    // Results travel through shared state and the jobs are named: GCC 12 destroys non-trivial
    // temporaries of a co_await expression (lambda captures, returned values) once too often.
    const auto bytes = std::make_shared<std::optional<QByteArray>>();
    const auto readEntry = [store, url, bytes] {
        *bytes = store->read(url, kMaxIconBytes);
        if (*bytes && !isDrawable(**bytes)) {
            bytes->reset();  // damaged on disk: fetch it again, which also replaces the file
        }
    };
    co_await QtConcurrent::run(&io_, readEntry);
    if (!self) {
        co_return;
    }
    if (!*bytes) {
        co_await download(url, bytes);
        if (!self) {
            co_return;
        }
        const auto keepEntry = [store, url, bytes] {
            if (!*bytes || !isDrawable(**bytes)) {
                bytes->reset();
                return;
            }
            // A file that cannot be written only costs a download after the next start.
            store->write(url, **bytes);
        };
        co_await QtConcurrent::run(&io_, keepEntry);
        if (!self) {
            co_return;
        }
    }
    finish(url, *bytes);
}

QCoro::Task<> SvgImageCache::download(QUrl url, std::shared_ptr<std::optional<QByteArray>> out) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    QNetworkReply* raw = network_->get(request);
    backend::BoundedReply transfer(raw, {timeouts_.idle, timeouts_.total, kMaxIconBytes});
    const async::QueuedStopCallback abortOnStop(stop_.get_token(), raw, [raw] { raw->abort(); });
    QObject::connect(raw, &QNetworkReply::redirected, raw, [raw](const QUrl& to) {
        if (isAllowedSource(to)) {
            emit raw->redirectAllowed();
        } else {
            QMetaObject::invokeMethod(raw, &QNetworkReply::abort, Qt::QueuedConnection);
        }
    });
    // Nothing of `this` is touched from here on: the cache may be gone when the reply ends.
    co_await transfer.finished();
    const QVariant status = raw->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (transfer.oversized() || transfer.timedOut() || raw->error() != QNetworkReply::NoError ||
        !status.isValid() || status.toInt() < 200 || status.toInt() > 299) {
        co_return;
    }
    QByteArray body = transfer.takeBody();
    if (!body.isEmpty()) {
        *out = std::move(body);
    }
}

void SvgImageCache::finish(const QUrl& url, const std::optional<QByteArray>& bytes) {
    const QString key = keyOf(url);
    if (bytes) {
        memory_.insert(key, *bytes);
    }
    {
        QMutexLocker guard(&inflightLock_);
        inflight_.remove(key);
    }
    if (bytes) {
        emit loaded(url, *bytes);
    } else {
        emit failed(url);
    }
}

}  // namespace corvanta::ui
