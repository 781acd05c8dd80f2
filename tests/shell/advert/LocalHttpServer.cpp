#include "LocalHttpServer.h"

#include <QTcpSocket>

LocalHttpServer::LocalHttpServer()
{
    m_server.listen(QHostAddress::LocalHost, 0);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool LocalHttpServer::wasAsked(const QByteArray& target) const
{
    for (const Request& r : m_requests)
        if (r.target == target)
            return true;
    return false;
}

void LocalHttpServer::serve(QTcpSocket* socket)
{
    const QByteArray text = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = text.indexOf("\r\n\r\n");
    if (end < 0) {
        socket->setProperty("head", text);
        return;
    }
    Request request;
    const QList<QByteArray> lines = text.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    m_requests.append(request);

    const Answer answer = m_answers.value(request.target, Answer{404, "not here"});
    QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nContent-Length: " +
                       QByteArray::number(answer.body.size()) + "\r\nConnection: close\r\n\r\n" + answer.body;
    socket->write(reply);
    socket->disconnectFromHost();
}
