#pragma once

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QMetaObject>
#include <QTimer>
#include <chrono>

class QNetworkReply;

namespace corvanta::backend {

// Watches one network reply to its end: collects the body as it arrives and aborts the transfer
// when it stays silent too long, runs too long, or its body grows past the limit (the body is
// then dropped, never buffered whole). Owns the reply and deletes it (later) on destruction.
// Main thread only.
class BoundedReply {
public:
    struct Limits {
        std::chrono::milliseconds idleTimeout;
        std::chrono::milliseconds totalTimeout;
        qint64 maxBodyBytes;
    };

    BoundedReply(QNetworkReply* reply, Limits limits);
    ~BoundedReply();

    BoundedReply(const BoundedReply&) = delete;
    BoundedReply& operator=(const BoundedReply&) = delete;

    // Resolves when the reply has finished, also after an abort.
    QCoro::Task<> finished();

    QNetworkReply* reply() const { return reply_; }
    bool timedOut() const { return timedOut_; }
    bool oversized() const { return oversized_; }
    QByteArray takeBody() { return std::exchange(body_, {}); }

private:
    void readAvailable();
    void checkDeclaredLength();
    void abortLater();

    QNetworkReply* reply_;
    Limits limits_;
    QTimer idleTimer_;
    QTimer totalTimer_;
    QList<QMetaObject::Connection> connections_;
    QByteArray body_;
    bool timedOut_ = false;
    bool oversized_ = false;
};

}  // namespace corvanta::backend
