#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

// A small HTTP/1.1 server on 127.0.0.1 for the advert tests: it answers each path with a
// fixed status and body and remembers the requests it was sent. It runs on the thread that
// made it (the test's GUI thread) and closes every connection after its answer.
class LocalHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method, target;
        QHash<QByteArray, QByteArray> headers;  // names in lower case
    };
    struct Answer {
        int status = 200;
        QByteArray body;
    };

    LocalHttpServer();
    bool listening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }

    // Answers target (path and query as sent); anything else gets 404.
    void answer(const QByteArray& target, Answer answer) { m_answers.insert(target, std::move(answer)); }
    const QList<Request>& requests() const { return m_requests; }
    bool wasAsked(const QByteArray& target) const;

private:
    void serve(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QList<Request> m_requests;
};
