#include "app/tray/StatusNotifierItemObject.h"

#include <QDBusObjectPath>

namespace corvane {

namespace {

QDBusMessage sniSignal(const QString& path, const char* name, const QVariantList& args = {})
{
    QDBusMessage m = QDBusMessage::createSignal(path, QStringLiteral("org.kde.StatusNotifierItem"),
                                                QString::fromLatin1(name));
    m.setArguments(args);
    return m;
}

} // namespace

QList<QDBusMessage> sniChangeSignals(const QString& path, const SniState& prev,
                                     const SniState& next)
{
    // Hosts re-read everything on any signal; sending only the changed ones keeps the
    // per-tick traffic to what the user can see change.
    QList<QDBusMessage> out;
    if (prev.title != next.title)
        out << sniSignal(path, "NewTitle");
    if (prev.icon != next.icon)
        out << sniSignal(path, "NewIcon");
    if (prev.toolTip != next.toolTip)
        out << sniSignal(path, "NewToolTip");
    if (prev.label != next.label || prev.labelGuide != next.labelGuide)
        out << sniSignal(path, "XAyatanaNewLabel",
                         {next.label.value_or(QString()), next.labelGuide});
    return out;
}

StatusNotifierItemObject::StatusNotifierItemObject(QDBusConnection bus, QString path,
                                                   QString menuPath, Callbacks callbacks,
                                                   QObject* parent)
    : DBusObject(QStringLiteral("org.kde.StatusNotifierItem"), parent), bus_(std::move(bus)),
      path_(std::move(path)), menuPath_(std::move(menuPath)), callbacks_(std::move(callbacks))
{
    registerSniTypes();
}

void StatusNotifierItemObject::publish(const SniState& next)
{
    const SniState prev = std::exchange(state_, next);
    for (const QDBusMessage& m : sniChangeSignals(path_, prev, next))
        bus_.send(m);
}

void StatusNotifierItemObject::announce()
{
    for (const char* name : {"NewTitle", "NewIcon", "NewToolTip"})
        bus_.send(sniSignal(path_, name));
    if (state_.label)
        bus_.send(sniSignal(path_, "XAyatanaNewLabel", {*state_.label, state_.labelGuide}));
}

void StatusNotifierItemObject::announceEssentials()
{
    const QVariantMap all = properties();
    QDBusMessage m =
        QDBusMessage::createSignal(path_, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    m << interfaceName()
      << QVariantMap{{QStringLiteral("Id"), all.value(QStringLiteral("Id"))},
                     {QStringLiteral("Menu"), all.value(QStringLiteral("Menu"))}}
      << QStringList();
    bus_.send(m);
}

QVariantMap StatusNotifierItemObject::properties() const
{
    const QString none;
    QVariantMap p{
        {QStringLiteral("Category"), QStringLiteral("ApplicationStatus")},
        {QStringLiteral("Id"), QStringLiteral("corvane")},
        {QStringLiteral("Title"), state_.title},
        {QStringLiteral("Status"), QStringLiteral("Active")},
        {QStringLiteral("WindowId"), 0},
        {QStringLiteral("IconThemePath"), none},
        {QStringLiteral("IconName"), none},
        {QStringLiteral("IconPixmap"), QVariant::fromValue(state_.icon)},
        {QStringLiteral("IconAccessibleDesc"), state_.title},
        {QStringLiteral("OverlayIconName"), none},
        {QStringLiteral("OverlayIconPixmap"), QVariant::fromValue(QList<SniPixmap>())},
        {QStringLiteral("AttentionIconName"), none},
        {QStringLiteral("AttentionIconPixmap"), QVariant::fromValue(QList<SniPixmap>())},
        {QStringLiteral("AttentionAccessibleDesc"), none},
        {QStringLiteral("AttentionMovieName"), none},
        {QStringLiteral("ToolTip"), QVariant::fromValue(state_.toolTip)},
        // False: a left click activates (opens the panel); the menu is on the right button.
        {QStringLiteral("ItemIsMenu"), false},
        {QStringLiteral("Menu"), QVariant::fromValue(QDBusObjectPath(menuPath_))},
    };
    if (state_.label) {
        p.insert(QStringLiteral("XAyatanaLabel"), *state_.label);
        p.insert(QStringLiteral("XAyatanaLabelGuide"), state_.labelGuide);
    }
    return p;
}

bool StatusNotifierItemObject::call(const QDBusMessage& message, const QDBusConnection& bus)
{
    const QVariantList args = message.arguments();
    const QString& member = message.member();
    const bool twoInts = args.size() == 2 && message.signature() == u"ii";
    if (twoInts &&
        (member == u"Activate" || member == u"SecondaryActivate" || member == u"ContextMenu")) {
        // Reply first: a host waiting on us must not wait for the panel to show.
        bus.send(message.createReply());
        const QPoint at(args[0].toInt(), args[1].toInt());
        if (member == u"ContextMenu")
            callbacks_.contextMenu(at);
        else
            callbacks_.activate(at);
        return true;
    }
    if (member == u"Scroll" && message.signature() == u"is") {
        bus.send(message.createReply());
        return true;
    }
    if (member == u"ProvideXdgActivationToken" && message.signature() == u"s") {
        bus.send(message.createReply());
        return true;
    }
    return false;
}

QString StatusNotifierItemObject::introspect(const QString&) const
{
    QString props;
    const QVariantMap p = properties();
    for (auto it = p.cbegin(); it != p.cend(); ++it) {
        const char* sig = "s";
        switch (it->typeId()) {
        case QMetaType::Int:
            sig = "i";
            break;
        case QMetaType::UInt:
            sig = "u";
            break;
        case QMetaType::Bool:
            sig = "b";
            break;
        default:
            if (it.key() == u"Menu")
                sig = "o";
            else if (it.key().endsWith(u"Pixmap"))
                sig = "a(iiay)";
            else if (it.key() == u"ToolTip")
                sig = "(sa(iiay)ss)";
        }
        props += QStringLiteral("    <property name=\"%1\" type=\"%2\" access=\"read\"/>\n")
                     .arg(it.key(), QLatin1String(sig));
    }
    return QStringLiteral("  <interface name=\"org.kde.StatusNotifierItem\">\n") + props +
           QStringLiteral(
               "    <method name=\"Activate\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
               "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
               "    <method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\" "
               "direction=\"in\"/><arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
               "    <method name=\"ContextMenu\"><arg name=\"x\" type=\"i\" direction=\"in\"/>"
               "<arg name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
               "    <method name=\"Scroll\"><arg name=\"delta\" type=\"i\" direction=\"in\"/>"
               "<arg name=\"orientation\" type=\"s\" direction=\"in\"/></method>\n"
               "    <signal name=\"NewTitle\"/>\n    <signal name=\"NewIcon\"/>\n"
               "    <signal name=\"NewAttentionIcon\"/>\n    <signal name=\"NewOverlayIcon\"/>\n"
               "    <signal name=\"NewToolTip\"/>\n"
               "    <signal name=\"NewStatus\"><arg name=\"status\" type=\"s\"/></signal>\n"
               "    <signal name=\"XAyatanaNewLabel\"><arg name=\"label\" type=\"s\"/>"
               "<arg name=\"guide\" type=\"s\"/></signal>\n"
               "  </interface>\n");
}

} // namespace corvane
