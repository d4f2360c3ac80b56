#include "backend/bounded_reply.h"

#include <QCoroNetworkReply>
#include <QNetworkReply>

namespace corvanta::backend {
namespace {

// Caps what Qt itself buffers ahead of us, so a flood cannot pile up between two reads.
constexpr qint64 kReadBufferBytes = 1 << 20;

}  // namespace

BoundedReply::BoundedReply(QNetworkReply* reply, Limits limits) : reply_(reply), limits_(limits) {
    reply_->setReadBufferSize(kReadBufferBytes);
    idleTimer_.setSingleShot(true);
    totalTimer_.setSingleShot(true);
    const auto expire = [this] {
        timedOut_ = true;
        abortLater();
    };
    QObject::connect(&idleTimer_, &QTimer::timeout, expire);
    QObject::connect(&totalTimer_, &QTimer::timeout, expire);
    const auto activity = [this] { idleTimer_.start(limits_.idleTimeout); };
    connections_ << QObject::connect(reply_, &QNetworkReply::readyRead, reply_, [this, activity] {
        activity();
        readAvailable();
    });
    connections_ << QObject::connect(reply_, &QNetworkReply::metaDataChanged, reply_,
                                     [this, activity] {
                                         activity();
                                         checkDeclaredLength();
                                     });
    connections_ << QObject::connect(reply_, &QNetworkReply::uploadProgress, reply_, activity);
    connections_ << QObject::connect(reply_, &QNetworkReply::downloadProgress, reply_, activity);
    idleTimer_.start(limits_.idleTimeout);
    totalTimer_.start(limits_.totalTimeout);
}

BoundedReply::~BoundedReply() {
    for (const auto& connection : connections_) {
        QObject::disconnect(connection);
    }
    // Deleting an unfinished reply cancels it without emitting finished() into a coroutine that
    // may be gone.
    reply_->deleteLater();
}

QCoro::Task<> BoundedReply::finished() {
    if (!reply_->isFinished()) {
        co_await qCoro(reply_).waitForFinished();
    }
    idleTimer_.stop();
    totalTimer_.stop();
    readAvailable();
}

void BoundedReply::readAvailable() {
    if (!reply_->isOpen()) {
        return;  // aborted before anything arrived (a refused redirect)
    }
    if (oversized_) {
        reply_->readAll();  // discarded; the abort is on its way
        return;
    }
    if (body_.size() + reply_->bytesAvailable() > limits_.maxBodyBytes) {
        oversized_ = true;
        body_ = QByteArray();
        reply_->readAll();
        abortLater();
        return;
    }
    body_ += reply_->readAll();
}

void BoundedReply::checkDeclaredLength() {
    const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
    if (!oversized_ && length.isValid() && length.toLongLong() > limits_.maxBodyBytes) {
        oversized_ = true;
        abortLater();
    }
}

void BoundedReply::abortLater() {
    // Not inline: aborting finishes the reply, which resumes the awaiting coroutine, which
    // destroys this object while its own handler would still be on the stack.
    QMetaObject::invokeMethod(reply_, &QNetworkReply::abort, Qt::QueuedConnection);
}

}  // namespace corvanta::backend
