#include "support/FakeStatusNotifierWatcher.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>
#include <atomic>

namespace corvane::testing {

class FakeWatcherAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    FakeWatcherAdaptor(QObject* exported, FakeStatusNotifierWatcher* owner)
        : QDBusAbstractAdaptor(exported), owner_(owner)
    {}
    QStringList items() const { return owner_->items_; }
    bool hostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public Q_SLOTS:
    void RegisterStatusNotifierItem(const QString& service, const QDBusMessage& message)
    {
        if (owner_->refuse_) {
            message.setDelayedReply(true);
            owner_->connection().send(message.createErrorReply(
                QDBusError::AccessDenied, QStringLiteral("registration refused")));
            return;
        }
        owner_->onRegister(service, message.service());
    }
    void RegisterStatusNotifierHost(const QString&) {}

Q_SIGNALS:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    friend class FakeStatusNotifierWatcher;
    FakeStatusNotifierWatcher* owner_;
    std::unique_ptr<QDBusServiceWatcher> itemWatcher_;
};

namespace {
const QString watcherName = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
} // namespace

FakeStatusNotifierWatcher::FakeStatusNotifierWatcher(QString busAddress, QObject* parent)
    : QObject(parent), address_(std::move(busAddress))
{}

FakeStatusNotifierWatcher::~FakeStatusNotifierWatcher()
{
    stop();
}

bool FakeStatusNotifierWatcher::start()
{
    if (isRunning())
        return true;
    static std::atomic<int> generation{0};
    connectionName_ = QStringLiteral("fake-sni-watcher-%1").arg(++generation);
    QDBusConnection bus = QDBusConnection::connectToBus(address_, connectionName_);
    exported_ = std::make_unique<QObject>();
    adaptor_ = new FakeWatcherAdaptor(exported_.get(), this);
    adaptor_->itemWatcher_ = std::make_unique<QDBusServiceWatcher>(
        QString(), bus, QDBusServiceWatcher::WatchForUnregistration);
    connect(adaptor_->itemWatcher_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            &FakeStatusNotifierWatcher::onServiceGone);
    if (!bus.isConnected() ||
        !bus.registerObject(watcherPath, exported_.get(), QDBusConnection::ExportAdaptors) ||
        !bus.registerService(watcherName)) {
        stop();
        return false;
    }
    Q_EMIT adaptor_->StatusNotifierHostRegistered();
    return true;
}

void FakeStatusNotifierWatcher::stop()
{
    if (connectionName_.isEmpty())
        return;
    {
        QDBusConnection bus(connectionName_);
        bus.unregisterService(watcherName);
        bus.unregisterObject(watcherPath);
    }
    adaptor_ = nullptr;
    exported_.reset();
    items_.clear();
    QDBusConnection::disconnectFromBus(connectionName_);
    connectionName_.clear();
}

QDBusConnection FakeStatusNotifierWatcher::connection() const
{
    return QDBusConnection(connectionName_);
}

void FakeStatusNotifierWatcher::onRegister(const QString& argument, const QString& sender)
{
    Registration r{argument, argument, QStringLiteral("/StatusNotifierItem"), sender};
    if (argument.startsWith(u'/')) {
        r.service = sender;
        r.path = argument;
    }
    registrations_.append(r);
    const QString item = r.service + r.path;
    if (!items_.contains(item)) {
        items_.append(item);
        adaptor_->itemWatcher_->addWatchedService(r.service);
        Q_EMIT adaptor_->StatusNotifierItemRegistered(item);
    }
    Q_EMIT itemRegistered(r.service);
}

void FakeStatusNotifierWatcher::onServiceGone(const QString& service)
{
    const qsizetype before = items_.size();
    items_.removeIf([&](const QString& item) { return item.startsWith(service + u'/'); });
    if (adaptor_)
        adaptor_->itemWatcher_->removeWatchedService(service);
    if (items_.size() != before) {
        if (adaptor_)
            Q_EMIT adaptor_->StatusNotifierItemUnregistered(service);
        Q_EMIT itemUnregistered(service);
    }
}

QVariant FakeStatusNotifierWatcher::itemProperty(const QString& service, const QString& name,
                                                 const QString& path) const
{
    if (!isRunning())
        return {};
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.kde.StatusNotifierItem") << name;
    QDBusPendingCallWatcher pending(connection().asyncCall(get, 5000));
    QEventLoop loop;
    QObject::connect(&pending, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    if (!pending.isFinished())
        loop.exec();
    const QDBusMessage reply = pending.reply();
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace corvane::testing

#include "FakeStatusNotifierWatcher.moc"
