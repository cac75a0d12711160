#pragma once

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <memory>
#include <utility>

namespace corvane::testing {

// An HTTP server on 127.0.0.1. Each complete request head is counted and handed to
// `respond` (by default 200 with `body`); while `hold` is set it waits for release().
class LoopbackHttp {
public:
    using Responder = std::function<void(QTcpSocket*)>;

    explicit LoopbackHttp(QByteArray body = {},
                          std::unique_ptr<QTcpServer> s = std::make_unique<QTcpServer>())
        : respond(reply(200, body)), server(std::move(s))
    {
        QObject::connect(server.get(), &QTcpServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                socket->setParent(server.get());
                QObject::connect(socket, &QIODevice::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests;
                    if (hold)
                        held_.append(socket);
                    else if (respond)
                        respond(socket);
                });
            }
        });
        server->listen(QHostAddress::LocalHost);
    }
    QString url(const char* scheme = "http") const
    {
        return QStringLiteral("%1://127.0.0.1:%2/")
            .arg(QLatin1String(scheme))
            .arg(server->serverPort());
    }
    static Responder reply(int status, const QByteArray& body)
    {
        return [=](QTcpSocket* s) {
            s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
            s->disconnectFromHost();
        };
    }
    void release()
    {
        hold = false;
        for (const QPointer<QTcpSocket>& s : std::exchange(held_, {})) {
            if (s && respond)
                respond(s);
        }
    }

    Responder respond;
    bool hold = false;
    int requests = 0;
    std::unique_ptr<QTcpServer> server;

private:
    QList<QPointer<QTcpSocket>> held_;
};

} // namespace corvane::testing
