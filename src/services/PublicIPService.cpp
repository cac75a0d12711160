#include "services/PublicIPService.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>
#include <QUrl>

namespace corvane {

Q_LOGGING_CATEGORY(lcPublicIP, "corvane.publicip", QtWarningMsg)

namespace {

constexpr qsizetype maxAddressChars = 45;

bool isAddressChar(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F') ||
           u == u'.' || u == u':';
}

} // namespace

PublicIPService::PublicIPService(PublicIPOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)),
      m_network(std::make_unique<QNetworkAccessManager>())
{
    if (!m_options.clock)
        m_options.clock = PublicIPOptions{}.clock;
    // Nothing may reach the disk: no HTTP cache; cookies and credentials are neither
    // stored nor sent (see the request attributes).
    m_network->setCache(nullptr);
    m_network->setStrictTransportSecurityEnabled(false);

    m_overallTimer.setSingleShot(true);
    connect(&m_overallTimer, &QTimer::timeout, this, [this] {
        if (m_reply)
            m_reply->abort();
    });
}

PublicIPService::~PublicIPService()
{
    // abort() emits finished() at once; nothing of this object may run from it now.
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void PublicIPService::fetch(const QObject* context, Callback done)
{
    m_waiting.push_back(Pending{context, context != nullptr, std::move(done)});
    processQueue();
}

void PublicIPService::processQueue()
{
    while (!m_current && !m_waiting.empty()) {
        Pending next = std::move(m_waiting.front());
        m_waiting.pop_front();
        if (next.abandoned())
            continue; // nobody would see the answer: no request
        if (cacheIsFresh()) {
            deliver(std::move(next), m_cached->ip);
            continue;
        }
        m_current = std::move(next);
        startRequest();
    }
}

void PublicIPService::startRequest()
{
    const QUrl url(m_options.endpoint, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) {
        complete(std::nullopt);
        return;
    }

    QNetworkRequest request(url);
    request.setTransferTimeout(static_cast<int>(m_options.inactivityTimeout.count()));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);

    m_body.clear();
    m_bodyTooLarge = false;
    QNetworkReply* reply = m_network->get(request);
    m_reply = reply;
    // Bounds what the reply buffers on our behalf; we drain it on every readyRead.
    reply->setReadBufferSize(4096);
    connect(reply, &QIODevice::readyRead, this, &PublicIPService::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &PublicIPService::onFinished);
    m_overallTimer.start(m_options.overallTimeout);
}

// Appends what the reply has to the body, never more than one byte past the limit.
// False once the body is known to be too large for an address.
bool PublicIPService::readBounded()
{
    if (m_reply->bytesAvailable() > 0)
        m_body += m_reply->read(maxBodyBytes + 1 - m_body.size());
    m_bodyTooLarge = m_bodyTooLarge || m_body.size() > maxBodyBytes;
    return !m_bodyTooLarge;
}

void PublicIPService::onReadyRead()
{
    if (m_reply && !readBounded())
        m_reply->abort(); // finished() follows synchronously
}

void PublicIPService::onFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || sender() != reply)
        return;

    std::optional<QString> fresh;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (reply->error() == QNetworkReply::NoError && readBounded() && status.isValid())
        fresh = addressFromAnswer(status.toInt(), m_body);
    // Once per run of failures, so a report shows why without repeating it every opening.
    if (!fresh && !m_failing)
        qCWarning(lcPublicIP) << "lookup failed:" << reply->errorString() << "status"
                              << status.toInt() << "body bytes" << m_body.size();
    m_failing = !fresh;

    m_overallTimer.stop();
    reply->disconnect(this);
    reply->deleteLater();
    m_reply.clear();
    m_body.clear();
    complete(std::move(fresh));
}

void PublicIPService::complete(std::optional<QString> fresh)
{
    if (fresh)
        m_cached = Cached{*fresh, m_options.clock()};
    Pending done = std::move(*m_current);
    m_current.reset();
    deliver(std::move(done), fresh ? fresh : fallback());
    // Later callers start from the event loop, not from inside a reply's signal.
    QMetaObject::invokeMethod(this, &PublicIPService::processQueue, Qt::QueuedConnection);
}

void PublicIPService::deliver(Pending pending, std::optional<QString> result)
{
    // Posted to this object, so the call is dropped if the service goes first.
    QMetaObject::invokeMethod(
        this,
        [pending = std::move(pending), result = std::move(result)] {
            if (!pending.abandoned() && pending.done)
                pending.done(result);
        },
        Qt::QueuedConnection);
}

bool PublicIPService::cacheIsFresh() const
{
    if (!m_cached)
        return false;
    return isFresh(m_options.clock() - m_cached->at);
}

bool PublicIPService::isFresh(std::chrono::system_clock::duration age)
{
    return age < cacheLifetime && age > -cacheLifetime;
}

std::optional<QString> PublicIPService::fallback() const
{
    if (m_cached)
        return m_cached->ip;
    return std::nullopt;
}

std::optional<QString> PublicIPService::addressFromAnswer(int status, const QByteArray& body)
{
    // Qt reports most 4xx and 5xx as errors, but not 1xx, 3xx without a redirect target, or
    // codes it does not know.
    if (status < 200 || status > 299)
        return std::nullopt;
    return parseAddress(body);
}

std::optional<QString> PublicIPService::parseAddress(const QByteArray& body)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;

    const QString text = decoded.trimmed();
    // The textual forms only: QHostAddress alone would also take a scope id of any text.
    if (text.isEmpty() || text.size() > maxAddressChars)
        return std::nullopt;
    for (QChar c : text) {
        if (!isAddressChar(c))
            return std::nullopt;
    }
    const QHostAddress address(text);
    if (address.isNull())
        return std::nullopt;
    // Short and zero-padded IPv4 forms ("127.1") parse too, but no echo service sends them.
    if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString() != text)
        return std::nullopt;
    return address.toString();
}

} // namespace corvane
