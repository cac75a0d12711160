#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace corvane::testing {

// An HTTP server on 127.0.0.1. Each complete request head is counted and handed to `respond`.
class LoopbackHttp {
public:
    using Responder = std::function<void(QTcpSocket*)>;

    LoopbackHttp()
    {
        QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                QObject::connect(socket, &QIODevice::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests;
                    respond(socket);
                });
            }
        });
        server.listen(QHostAddress::LocalHost);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort()); }
    static Responder reply(int status, const QByteArray& body)
    {
        return [=](QTcpSocket* s) {
            s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            s->disconnectFromHost();
        };
    }

    Responder respond;
    int requests = 0;
    QTcpServer server;
};

} // namespace corvane::testing
