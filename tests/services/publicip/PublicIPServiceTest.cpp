#include "services/PublicIPService.h"

#include "support/LogCapture.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace corvane {
namespace {

using Responder = std::function<void(QTcpSocket*)>;

Responder reply(int status, const QByteArray& body)
{
    return [=](QTcpSocket* s) {
        s->write("HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " +
                 QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        s->disconnectFromHost();
    };
}

TEST(PublicIPPolicy, AddressStatusAndCacheAge)
{
    EXPECT_EQ(PublicIPService::parseAddress("203.0.113.7\n"), u"203.0.113.7"_s);
    EXPECT_EQ(PublicIPService::parseAddress(" \t\r\n2001:DB8::1\xc2\xa0"), u"2001:db8::1"_s);
    EXPECT_EQ(PublicIPService::parseAddress("ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255"),
              u"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"_s);
    for (const QByteArray& bad :
         {"127.1"_ba, "203.0.113.007"_ba, QByteArray(45, 'a'), ""_ba, " \r\n\t"_ba,
          "<p>203.0.113.7</p>"_ba, "203.0.113.7 203.0.113.8"_ba, "203.0.113.\xff"_ba, "::::"_ba,
          "."_ba, "a"_ba, "fe80::1%eth0"_ba, "\xef\xbc\x91.2.3.4"_ba})
        EXPECT_EQ(PublicIPService::parseAddress(bad), std::nullopt) << bad.toStdString();

    for (int status : {200, 203, 299})
        EXPECT_EQ(PublicIPService::addressFromAnswer(status, "203.0.113.7"), u"203.0.113.7"_s);
    for (int status : {0, 100, 199, 300, 304, 503})
        EXPECT_EQ(PublicIPService::addressFromAnswer(status, "203.0.113.7"), std::nullopt);
    EXPECT_EQ(PublicIPService::addressFromAnswer(204, ""), std::nullopt);

    // A clock set back by days must not keep serving the old answer as fresh.
    for (auto age : {0s, 299s, -299s})
        EXPECT_TRUE(PublicIPService::isFresh(age)) << age.count();
    for (auto age : {300s, -300s, 259200s, -259200s})
        EXPECT_FALSE(PublicIPService::isFresh(age)) << age.count();
}

// Against one loopback server: every refused answer, a silent server (inactivity) and a
// trickling one (overall time-out) give none at first and the last good address, however
// old, later; a fresh cache asks nobody; a gone context never hears its answer.
TEST(PublicIPService, FallsBackCachesAndDropsAnswersNobodyWaitsFor)
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
    auto now = std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 50));
    const auto fetchNow = [](PublicIPService& s) {
        std::optional<std::optional<QString>> got;
        s.fetch(nullptr, [&got](std::optional<QString> r) { got = std::move(r); });
        EXPECT_FALSE(got) << "callback ran inside fetch()";
        EXPECT_TRUE(QTest::qWaitFor([&got] { return got.has_value(); }, 10000));
        return got.value_or(std::nullopt);
    };
    // An HTTP server on 127.0.0.1: each complete request head is counted and answered.
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    Responder respond;
    int requests = 0;
    QObject::connect(&server, &QTcpServer::pendingConnectionAvailable, [&] {
        while (QTcpSocket* socket = server.nextPendingConnection())
            QObject::connect(socket, &QIODevice::readyRead, socket, [&, socket] {
                if (socket->readAll().contains("\r\n\r\n")) {
                    ++requests;
                    respond(socket);
                }
            });
    });
    PublicIPService s(
        {u"http://127.0.0.1:%1/"_s.arg(server.serverPort()), 300ms, 600ms, [&now] { return now; }});
    const Responder refused[] = {
        reply(503, "203.0.113.9"), reply(200, "<p>203.0.113.9</p>"),
        reply(200, QByteArray(502, ' ') + "203.0.113.9"), // one byte too many
        [](QTcpSocket*) {},
        [](QTcpSocket* s) {
            s->write("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n");
            auto* drip = new QTimer(s);
            QObject::connect(drip, &QTimer::timeout, s, [s] { s->write("1"); });
            drip->start(50ms);
        }};
    const testing::LogCapture log("corvane.publicip");
    for (const auto& r : refused) {
        respond = r;
        EXPECT_EQ(fetchNow(s), std::nullopt) << &r - refused;
    }
    EXPECT_EQ(log.warnings().size(), 1) << "one warning for one run of failures";
    respond = reply(200, "203.0.113.7\n");
    EXPECT_EQ(fetchNow(s), u"203.0.113.7"_s);
    const int asked = requests;
    auto context = std::make_unique<QObject>();
    int calls = 0;
    s.fetch(context.get(), [&](std::optional<QString>) { ++calls; });
    context.reset();
    EXPECT_EQ(fetchNow(s), u"203.0.113.7"_s);
    EXPECT_EQ(requests, asked) << "a fresh cache asks nobody";
    EXPECT_EQ(calls, 0);
    for (const auto& r : refused) {
        now += 6h;
        respond = r;
        EXPECT_EQ(fetchNow(s), u"203.0.113.7"_s) << &r - refused;
    }
    EXPECT_EQ(log.warnings().size(), 2);
}

} // namespace
} // namespace corvane
