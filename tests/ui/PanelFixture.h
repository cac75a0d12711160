#pragma once

#include "model/model/ModelFixture.h"
#include "ui/PanelView.h"
#include "ui/Rows.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace corvane::testing {

// A loopback HTTP server answering every request with one body, at once or when released.
class LoopbackEcho {
public:
    explicit LoopbackEcho(QByteArray body) : body_(std::move(body))
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection()) {
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

// A model on fakes (loopback only) or the seeded demo model, and a panel over it.
class PanelFixture : public ModelTest {
protected:
    void SetUp() override
    {
        ModelTest::SetUp();
        qunsetenv("CORVANE_RENDER_PANEL");
        dishListener.listen(QHostAddress::LocalHost);
        dish = {QStringLiteral("127.0.0.1"), dishListener.serverPort()};
        publicIPEndpoint = echo.url();
    }
    void TearDown() override
    {
        qunsetenv("CORVANE_DEMO");
        qunsetenv("CORVANE_RENDER_PANEL");
    }

    std::unique_ptr<AppViewModel> demoModel()
    {
        qputenv("CORVANE_DEMO", "1");
        return makeModel();
    }

    template <typename T = QWidget> static T* part(const PanelView& v, const char* name)
    {
        T* w = v.findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static InfoRow* row(const PanelView& v, const QString& label)
    {
        for (InfoRow* r : v.findChildren<InfoRow*>()) {
            if (r->label() == label)
                return r;
        }
        ADD_FAILURE() << label.toStdString();
        return nullptr;
    }
    static bool shown(const PanelView& v, const QWidget* w) { return w->isVisibleTo(&v); }
    static bool waitRefresh(AppViewModel& m)
    {
        QSignalSpy done(&m, &AppViewModel::panelRefreshFinished);
        return done.wait(5000);
    }

    QTcpServer dishListener;
    LoopbackEcho echo{"203.0.113.9\n"};
};

} // namespace corvane::testing
