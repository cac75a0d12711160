#include "services/PublicIPService.h"

#include <QFile>
#include <QNetworkProxy>
#include <QSslKey>
#include <QSslServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace corvane {
namespace {

TEST(PublicIPParse, AcceptsOnlyShortHexDotColonText)
{
    const QString wide = QString::fromUtf8("\uff12\uff10\uff13.\uff10.\uff11\uff11\uff13.\uff17");
    const std::vector<std::pair<QByteArray, std::optional<QString>>> cases = {
        {"203.0.113.7\n", u"203.0.113.7"_s},
        {" \t\r\n2001:db8::1\xc2\xa0", u"2001:db8::1"_s},
        {"deadbeef", u"deadbeef"_s},
        {QByteArray(45, 'a'), QString(45, u'a')},
        {wide.toUtf8(), wide},
        {QByteArray(46, 'a'), std::nullopt},
        {"", std::nullopt},
        {" \r\n\t", std::nullopt},
        {"<html><body>203.0.113.7</body></html>", std::nullopt},
        {"203.0.113.7 203.0.113.8", std::nullopt},
        {"203.0.113.\xff", std::nullopt},
        {"203.0.113.7\xe2\x82", std::nullopt},
    };
    for (const auto& [body, expected] : cases)
        EXPECT_EQ(PublicIPService::parseAddress(body), expected) << body.toStdString();
}

// Runs on 127.0.0.1 only; hands each complete request head to the test's responder.
struct LoopbackServer {
    explicit LoopbackServer(std::unique_ptr<QTcpServer> s = std::make_unique<QTcpServer>())
        : server(std::move(s))
    {
        QObject::connect(server.get(), &QTcpServer::pendingConnectionAvailable, [this] {
            while (QTcpSocket* socket = server->nextPendingConnection()) {
                socket->setParent(server.get());
                QObject::connect(socket, &QIODevice::readyRead, socket, [this, socket] {
                    if (socket->readAll().contains("\r\n\r\n") && ++requests && respond)
                        respond(socket);
                });
            }
        });
        EXPECT_TRUE(server->listen(QHostAddress::LocalHost));
    }
    QString url(const char* scheme = "http") const
    {
        return u"%1://127.0.0.1:%2/"_s.arg(QLatin1String(scheme)).arg(server->serverPort());
    }
    void answer(const QByteArray& raw)
    {
        respond = [raw](QTcpSocket* s) { s->write(raw), s->disconnectFromHost(); };
    }

    std::unique_ptr<QTcpServer> server;
    std::function<void(QTcpSocket*)> respond;
    int requests = 0;
};

QByteArray http(int status, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) +
           " X\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

class PublicIPFixture : public ::testing::Test {
protected:
    void SetUp() override { QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy); }

    std::unique_ptr<PublicIPService> service(const QString& url,
                                             std::chrono::milliseconds inactivity = 2s,
                                             std::chrono::milliseconds overall = 4s)
    {
        return std::make_unique<PublicIPService>(
            PublicIPOptions{url, inactivity, overall, [this] { return now; }});
    }

    static std::optional<QString> fetchNow(PublicIPService& s)
    {
        std::optional<std::optional<QString>> got;
        s.fetch(nullptr, [&got](std::optional<QString> r) { got = std::move(r); });
        EXPECT_FALSE(got) << "callback ran inside fetch()";
        EXPECT_TRUE(QTest::qWaitFor([&got] { return got.has_value(); }, 10000));
        return got.value_or(std::nullopt);
    }

    std::chrono::system_clock::time_point now{std::chrono::hours(24 * 365 * 50)};
    LoopbackServer server;
};

// Every refused answer gives none at first, and the last good address, however old, later.
TEST_F(PublicIPFixture, RefusedAnswersFallBackToLastGoodAddress)
{
    auto s = service(server.url());
    const QByteArray refused[] = {
        http(503, "203.0.113.9"),    http(203, "203.0.113.9"), http(200, "<p>203.0.113.9</p>"),
        http(200, "203.0.113.\xfe"), "SSH-2.0-x\r\n",          ""};
    for (const QByteArray& raw : refused) {
        server.answer(raw);
        EXPECT_EQ(fetchNow(*s), std::nullopt) << raw.toStdString();
    }
    server.answer(http(200, "203.0.113.7\n"));
    EXPECT_EQ(fetchNow(*s), u"203.0.113.7"_s);
    for (const QByteArray& raw : refused) {
        now += 6h;
        server.answer(raw);
        EXPECT_EQ(fetchNow(*s), u"203.0.113.7"_s) << raw.toStdString();
    }
}

TEST_F(PublicIPFixture, CacheLivesFor300SecondsAndSurvivesSmallClockSteps)
{
    auto s = service(server.url());
    server.answer(http(200, "203.0.113.7"));
    EXPECT_EQ(fetchNow(*s), u"203.0.113.7"_s);
    server.answer(http(200, "203.0.113.8"));
    for (auto step : {299s, -309s}) { // 299 s old, then 10 s in the future
        now += step;
        EXPECT_EQ(fetchNow(*s), u"203.0.113.7"_s);
    }
    now += 310s;
    EXPECT_EQ(fetchNow(*s), u"203.0.113.8"_s);
    EXPECT_EQ(server.requests, 2);
    now -= 72h; // a clock set back by days says nothing about the age
    EXPECT_EQ(fetchNow(*s), u"203.0.113.8"_s);
    EXPECT_EQ(server.requests, 3);
}

// A body without end is cut short at once; a silent server ends by inactivity and a
// trickling one by the overall time-out. The guard in fetchNow() catches a hang.
TEST_F(PublicIPFixture, HostileServersEndInTime)
{
    auto pour = [](QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 1000000000000\r\n\r\n");
        QObject::connect(s, &QTcpSocket::bytesWritten, s,
                         [s] { s->write(QByteArray(65536, ' ')); });
        s->write(QByteArray(65536, ' '));
    };
    auto trickle = [](QTcpSocket* s) {
        s->write("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n");
        auto* drip = new QTimer(s);
        QObject::connect(drip, &QTimer::timeout, s, [s] { s->write("1"); });
        drip->start(50ms);
    };
    server.respond = pour;
    EXPECT_EQ(fetchNow(*service(server.url(), 60s, 60s)), std::nullopt);
    server.respond = [](QTcpSocket*) {};
    EXPECT_EQ(fetchNow(*service(server.url(), 200ms, 60s)), std::nullopt);
    server.respond = trickle;
    EXPECT_EQ(fetchNow(*service(server.url(), 300ms, 600ms)), std::nullopt);
}

TEST_F(PublicIPFixture, CallersAreServedInTurnAndDroppedWithTheirContext)
{
    auto s = service(server.url());
    server.answer(http(200, "203.0.113.7"));
    std::vector<std::optional<QString>> results;
    auto gone = std::make_unique<QObject>();
    s->fetch(gone.get(), [&results](std::optional<QString>) { results.push_back(u"x"_s); });
    gone.reset();
    for (int i = 0; i < 2; ++i)
        s->fetch(nullptr, [&results](std::optional<QString> r) { results.push_back(r); });
    EXPECT_TRUE(QTest::qWaitFor([&results] { return results.size() >= 2; }, 10000));
    QTest::qWait(20);
    EXPECT_EQ(results, std::vector<std::optional<QString>>(2, u"203.0.113.7"_s));
    EXPECT_EQ(server.requests, 1);

    // Destroyed mid-lookup: no callback, no crash.
    now += 1h;
    server.respond = [](QTcpSocket*) {};
    s->fetch(nullptr, [&results](std::optional<QString> r) { results.push_back(r); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return server.requests == 2; }, 5000));
    s.reset();
    QTest::qWait(20);
    EXPECT_EQ(results.size(), 2u);
}

// Valid for 127.0.0.1 but signed by nobody trusted: refused. Trusting it proves the
// refusal came from verification, not from a broken server.
TEST_F(PublicIPFixture, UntrustedCertificateIsRefused)
{
    if (!QSslSocket::supportsSsl())
        GTEST_SKIP() << "no TLS backend";
    QFile certFile(CORVANE_PUBLICIP_TESTDATA "/loopback.crt");
    QFile keyFile(CORVANE_PUBLICIP_TESTDATA "/loopback.key");
    ASSERT_TRUE(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
    const QSslCertificate cert(&certFile);
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration config = saved;
    config.setLocalCertificate(cert);
    config.setPrivateKey(QSslKey(&keyFile, QSsl::Ec));
    auto ssl = std::make_unique<QSslServer>();
    ssl->setSslConfiguration(config);
    LoopbackServer tls(std::move(ssl));
    tls.answer(http(200, "203.0.113.7\n"));

    EXPECT_EQ(fetchNow(*service(tls.url("https"))), std::nullopt);
    EXPECT_EQ(tls.requests, 0);

    QSslConfiguration trusting = saved;
    trusting.addCaCertificate(cert);
    QSslConfiguration::setDefaultConfiguration(trusting);
    EXPECT_EQ(fetchNow(*service(tls.url("https"))), u"203.0.113.7"_s);
    QSslConfiguration::setDefaultConfiguration(saved);
}

} // namespace
} // namespace corvane
