#include "shell/InstanceChannel.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace orvane {

namespace {
const QByteArray kShow = QByteArrayLiteral("show\n");
constexpr int kWaitMs = 500;
} // namespace

InstanceChannel::InstanceChannel(QObject* parent) : QObject(parent) {}

InstanceChannel::~InstanceChannel() = default;

QString InstanceChannel::socketPath(const QString& lockPath)
{
    return lockPath + QStringLiteral(".sock");
}

bool InstanceChannel::listen(const QString& lockPath)
{
    const QString path = socketPath(lockPath);
    // Whoever holds the lock is the only copy: a socket left there is a crashed copy's.
    QLocalServer::removeServer(path);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(path))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = m_server->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                // One short request per connection; anything else is dropped.
                if (peer->readAll().startsWith(kShow))
                    emit showRequested();
                peer->disconnectFromServer();
            });
        }
    });
    return true;
}

bool InstanceChannel::askToShow(const QString& lockPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath(lockPath));
    if (!socket.waitForConnected(kWaitMs))
        return false;
    socket.write(kShow);
    const bool sent = socket.waitForBytesWritten(kWaitMs);
    socket.disconnectFromServer();
    return sent;
}

} // namespace orvane
