#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <utility>

namespace corvane::testing {

// A loopback HTTP server answering every request with one plain-text body, at once or,
// while `hold` is set, when released.
class LoopbackEcho {
public:
    explicit LoopbackEcho(QByteArray body) : body_(std::move(body))
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
                ++requests;
                if (hold)
                    held_.append(s);
                else
                    answer(s);
            }
        });
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(server_.serverPort()); }
    void release()
    {
        hold = false;
        for (QTcpSocket* s : std::exchange(held_, {}))
            answer(s);
    }

    bool hold = false;
    int requests = 0;

private:
    void answer(QTcpSocket* s)
    {
        s->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                 "Content-Length: " +
                 QByteArray::number(body_.size()) + "\r\n\r\n" + body_);
        s->disconnectFromHost();
    }

    QTcpServer server_;
    QByteArray body_;
    QList<QTcpSocket*> held_;
};

} // namespace corvane::testing
