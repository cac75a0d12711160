#pragma once

#include "services/SystemPorts.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace corvane {

// Where and how the public address is looked up. The defaults are the production values;
// tests point the endpoint at a loopback server and shorten the time-outs.
struct PublicIPOptions {
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // Answers a plain GET with the caller's address as the whole text body.
    QString endpoint = QStringLiteral("https://api.ipify.org");
    // Abort when no bytes move for this long (connecting included).
    std::chrono::milliseconds inactivityTimeout{5000};
    // Abort when the whole exchange takes longer than this.
    std::chrono::milliseconds overallTimeout{8000};
    WallClock clock = [] { return std::chrono::system_clock::now(); };
};

// Finds this machine's public IP address by asking an echo service over HTTPS.
//
// Keeps the last good answer: for cacheLifetime it is returned without a request, and
// after that it is still the answer whenever a fresh lookup fails.
//
// Lives on one thread (the main thread) and is called only there. Lookups run one at a
// time in call order; a call made while another is in flight waits for it and then
// usually finds the fresh cache. Each call issues at most one request (Qt's HTTP layer
// itself may resend a GET whose connection closed before any answer, within the time-outs).
//
// The callback always runs later from the event loop, never inside fetch(). It is
// dropped, not called, when `context` is destroyed first or when the service is
// destroyed with the lookup still pending.
class PublicIPService final : public QObject, public PublicAddressLookup {
    Q_OBJECT

public:
    static constexpr std::chrono::seconds cacheLifetime{300};
    // At most 45 characters of up to 3 UTF-8 bytes each, with room for padding. A larger
    // body cannot be an address and is not read further.
    static constexpr qsizetype maxBodyBytes = 512;

    explicit PublicIPService(PublicIPOptions options = {}, QObject* parent = nullptr);
    ~PublicIPService() override;

    // Delivers the public address, or none when there never was a good answer.
    void fetch(const QObject* context, Callback done) override;

    // The address a response body carries in its canonical form, or none when the body is
    // not UTF-8 or the trimmed text is not an IPv4 or IPv6 address of at most 45 characters.
    static std::optional<QString> parseAddress(const QByteArray& body);
    // Whether a cached answer of this age is still served without a request. A stamp
    // slightly ahead (the clock was stepped back a little) still counts as fresh; one further
    // ahead than a whole lifetime would pin the cache for that long.
    static bool isFresh(std::chrono::system_clock::duration age);
    // The address an HTTP answer carries: a success status (2xx) and an address body.
    static std::optional<QString> addressFromAnswer(int status, const QByteArray& body);

private:
    struct Pending {
        QPointer<const QObject> context;
        bool guarded = false; // a context was given; its destruction cancels delivery
        Callback done;

        bool abandoned() const { return guarded && context.isNull(); }
    };
    struct Cached {
        QString ip;
        std::chrono::system_clock::time_point at;
    };

    void processQueue();
    void startRequest();
    void onReadyRead();
    bool readBounded();
    void onFinished();
    void complete(std::optional<QString> fresh);
    void deliver(Pending pending, std::optional<QString> result);
    bool cacheIsFresh() const;
    std::optional<QString> fallback() const;

    PublicIPOptions m_options;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::optional<Cached> m_cached;
    std::deque<Pending> m_waiting;
    std::optional<Pending> m_current;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_bodyTooLarge = false;
    bool m_failing = false; // the last lookup failed and said so
    QTimer m_overallTimer;
};

} // namespace corvane
