#include "app/instance_handover.h"

#include <QCryptographicHash>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>

namespace corvanta::app {
namespace {

const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShownReply = QByteArrayLiteral("shown\n");

}  // namespace

InstanceHandover::InstanceHandover(QObject* parent) : QObject(parent) {
    connect(&server_, &QLocalServer::newConnection, this, &InstanceHandover::answer);
}

QString InstanceHandover::socketPath() {
    const QByteArray profile =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(profile, QCryptographicHash::Sha256);
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
           QStringLiteral("/corvanta-") + QString::fromLatin1(digest.toHex().left(16)) +
           QStringLiteral(".sock");
}

bool InstanceHandover::askRunningWindowToShow(std::chrono::milliseconds limit) {
    const int milliseconds = static_cast<int>(limit.count());
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(milliseconds)) {
        return false;
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(milliseconds)) {
        return false;
    }
    QByteArray reply;
    while (!reply.contains('\n') && socket.waitForReadyRead(milliseconds)) {
        reply += socket.readAll();
    }
    return reply == kShownReply;
}

bool InstanceHandover::listen(std::function<void()> show) {
    show_ = std::move(show);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = socketPath();
    // This process holds the profile, so a socket left at the path is a dead window's.
    QLocalServer::removeServer(path);
    return server_.listen(path);
}

void InstanceHandover::answer() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == kShowRequest && show_) {
                show_();
                socket->write(kShownReply);
            }
            socket->disconnectFromServer();
        });
    }
}

}  // namespace corvanta::app
