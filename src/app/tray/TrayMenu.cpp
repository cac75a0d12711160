#include "app/tray/TrayMenu.h"

#include <QActionGroup>
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMenu>

namespace corvane {

namespace {

// The layout type of com.canonical.dbusmenu, (ia{sv}av): children travel as variants.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};

// One entry's properties, (ia{sv}).
struct DBusMenuProperties {
    int id = 0;
    QVariantMap properties;
};

} // namespace

} // namespace corvane

Q_DECLARE_METATYPE(corvane::DBusMenuLayout)
Q_DECLARE_METATYPE(corvane::DBusMenuProperties)

namespace corvane {

namespace {

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayout& item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuLayout& child : item.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayout& item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant v;
        arg >> v;
        item.children.append(qdbus_cast<DBusMenuLayout>(v.variant()));
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuProperties& item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuProperties& item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}

void registerMenuTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuProperties>();
        qDBusRegisterMetaType<QList<DBusMenuProperties>>();
        return true;
    }();
    (void)once;
}

MenuEntry item(int id, const QString& label, TrayAction action,
               MenuEntry::Toggle toggle = MenuEntry::Toggle::none, bool checked = false)
{
    return {id, label, action, toggle, checked, {}};
}

QVariantMap entryProperties(const MenuEntry& e, const QStringList& wanted)
{
    QVariantMap p;
    if (e.isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        // An underscore marks a mnemonic in this protocol; a literal one is doubled.
        p.insert(QStringLiteral("label"), QString(e.label).replace(u'_', QStringLiteral("__")));
        if (!e.children.isEmpty())
            p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
        if (e.toggle != MenuEntry::Toggle::none) {
            p.insert(QStringLiteral("toggle-type"), e.toggle == MenuEntry::Toggle::radio
                                                        ? QStringLiteral("radio")
                                                        : QStringLiteral("checkmark"));
            p.insert(QStringLiteral("toggle-state"), e.checked ? 1 : 0);
        }
    }
    if (wanted.isEmpty())
        return p;
    QVariantMap some;
    for (const QString& key : wanted)
        if (p.contains(key))
            some.insert(key, p.value(key));
    return some;
}

DBusMenuLayout layoutOf(const MenuEntry& e, int depth, const QStringList& wanted)
{
    DBusMenuLayout out{e.id, entryProperties(e, wanted), {}};
    if (depth != 0)
        for (const MenuEntry& child : e.children)
            out.children.append(layoutOf(child, depth < 0 ? depth : depth - 1, wanted));
    return out;
}

} // namespace

const MenuEntry* MenuEntry::find(int entryId) const
{
    if (id == entryId)
        return this;
    for (const MenuEntry& child : children)
        if (const MenuEntry* hit = child.find(entryId))
            return hit;
    return nullptr;
}

MenuEntry trayMenu(const TrayMenuState& s)
{
    using T = MenuEntry::Toggle;
    MenuEntry style{
        2, QCoreApplication::translate("TrayMenu", "Bar style"), std::nullopt, T::none, false, {}};
    style.children = {item(3, QCoreApplication::translate("TrayMenu", "Stacked"),
                           TrayAction::stacked, T::radio, s.style == BarStyle::stacked),
                      item(4, QCoreApplication::translate("TrayMenu", "Wide"), TrayAction::wide,
                           T::radio, s.style == BarStyle::wide)};
    MenuEntry units{
        5, QCoreApplication::translate("TrayMenu", "Units"), std::nullopt, T::none, false, {}};
    units.children = {
        item(6, QStringLiteral("bits/s"), TrayAction::bits, T::radio, s.units == RateUnits::bits),
        item(7, QStringLiteral("bytes/s"), TrayAction::bytes, T::radio,
             s.units == RateUnits::bytes)};
    MenuEntry root;
    root.children = {
        item(1, QCoreApplication::translate("TrayMenu", "Open panel"), TrayAction::openPanel),
        style,
        units,
        item(8, QCoreApplication::translate("TrayMenu", "Launch at login"),
             TrayAction::launchAtLogin, T::checkmark, s.launchAtLogin),
        MenuEntry{9, {}, std::nullopt, T::none, false, {}},
        item(10, QCoreApplication::translate("TrayMenu", "Quit"), TrayAction::quit)};
    return root;
}

void fillMenu(QMenu* menu, const MenuEntry& root, const std::function<void(TrayAction)>& act)
{
    menu->clear();
    for (const MenuEntry& e : root.children) {
        if (e.isSeparator()) {
            menu->addSeparator();
            continue;
        }
        if (!e.children.isEmpty()) {
            QMenu* sub = menu->addMenu(e.label);
            auto* group = new QActionGroup(sub);
            fillMenu(sub, e, act);
            for (QAction* a : sub->actions())
                group->addAction(a);
            continue;
        }
        QAction* a = menu->addAction(e.label);
        a->setCheckable(e.toggle != MenuEntry::Toggle::none);
        a->setChecked(e.checked);
        const TrayAction action = *e.action;
        QObject::connect(a, &QAction::triggered, menu, [act, action] { act(action); });
    }
}

DBusMenuObject::DBusMenuObject(QDBusConnection bus, QString path,
                               std::function<void(TrayAction)> act, QObject* parent)
    : DBusObject(QStringLiteral("com.canonical.dbusmenu"), parent), bus_(std::move(bus)),
      path_(std::move(path)), act_(std::move(act))
{
    registerMenuTypes();
}

void DBusMenuObject::setMenu(const MenuEntry& root)
{
    if (root == root_)
        return;
    root_ = root;
    ++revision_;
    QDBusMessage m =
        QDBusMessage::createSignal(path_, interfaceName(), QStringLiteral("LayoutUpdated"));
    m << revision_ << 0;
    bus_.send(m);
}

QVariantMap DBusMenuObject::properties() const
{
    return {{QStringLiteral("Version"), 3u},
            {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
            {QStringLiteral("Status"), QStringLiteral("normal")},
            {QStringLiteral("IconThemePath"), QStringList()}};
}

bool DBusMenuObject::call(const QDBusMessage& message, const QDBusConnection& bus)
{
    const QVariantList args = message.arguments();
    const QString& member = message.member();
    // Arguments are taken by count and converted: command-line callers cannot always give
    // the exact integer types.
    const QString sig = message.signature();
    if (member == u"GetLayout" && args.size() == 3) {
        const MenuEntry* parent = root_.find(args[0].toInt());
        if (!parent)
            return false;
        bus.send(message.createReply(
            {revision_,
             QVariant::fromValue(layoutOf(*parent, args[1].toInt(), args[2].toStringList()))}));
        return true;
    }
    if (member == u"GetGroupProperties" && args.size() == 2) {
        QList<DBusMenuProperties> out;
        for (int id : qdbus_cast<QList<int>>(args[0]))
            if (const MenuEntry* e = root_.find(id))
                out.append({id, entryProperties(*e, args[1].toStringList())});
        bus.send(message.createReply(QVariant::fromValue(out)));
        return true;
    }
    if (member == u"GetProperty" && args.size() == 2) {
        const MenuEntry* e = root_.find(args[0].toInt());
        const QVariantMap p = e ? entryProperties(*e, {}) : QVariantMap();
        if (!p.contains(args[1].toString()))
            return false;
        bus.send(
            message.createReply(QVariant::fromValue(QDBusVariant(p.value(args[1].toString())))));
        return true;
    }
    if (member == u"Event" && args.size() == 4) {
        bus.send(message.createReply());
        const MenuEntry* e = root_.find(args[0].toInt());
        if (args[0].toInt() == 0 && args[1].toString() == u"opened")
            QMetaObject::invokeMethod(this, &DBusMenuObject::opened, Qt::QueuedConnection);
        if (e && e->action && args[1].toString() == u"clicked") {
            // After the reply, from the event loop: an action may quit or rebuild the menu.
            const TrayAction action = *e->action;
            QMetaObject::invokeMethod(
                this, [this, action] { act_(action); }, Qt::QueuedConnection);
        }
        return true;
    }
    if (member == u"EventGroup" && sig == u"a(isvu)") {
        QList<int> unknown;
        const QDBusArgument arg = args[0].value<QDBusArgument>();
        arg.beginArray();
        while (!arg.atEnd()) {
            int id = 0;
            QString event;
            QDBusVariant data;
            uint time = 0;
            arg.beginStructure();
            arg >> id >> event >> data >> time;
            arg.endStructure();
            const MenuEntry* e = root_.find(id);
            if (id == 0 && event == u"opened")
                QMetaObject::invokeMethod(this, &DBusMenuObject::opened, Qt::QueuedConnection);
            if (!e) {
                unknown.append(id);
            } else if (e->action && event == u"clicked") {
                const TrayAction action = *e->action;
                QMetaObject::invokeMethod(
                    this, [this, action] { act_(action); }, Qt::QueuedConnection);
            }
        }
        arg.endArray();
        bus.send(message.createReply(QVariant::fromValue(unknown)));
        return true;
    }
    if (member == u"AboutToShow" && args.size() == 1) {
        bus.send(message.createReply(false));
        return true;
    }
    if (member == u"AboutToShowGroup" && args.size() == 1) {
        bus.send(message.createReply(
            {QVariant::fromValue(QList<int>()), QVariant::fromValue(QList<int>())}));
        return true;
    }
    return false;
}

QString DBusMenuObject::introspect(const QString&) const
{
    return QStringLiteral(
        "  <interface name=\"com.canonical.dbusmenu\">\n"
        "    <property name=\"Version\" type=\"u\" access=\"read\"/>\n"
        "    <property name=\"TextDirection\" type=\"s\" access=\"read\"/>\n"
        "    <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
        "    <property name=\"IconThemePath\" type=\"as\" access=\"read\"/>\n"
        "    <method name=\"GetLayout\"><arg type=\"i\" direction=\"in\"/><arg type=\"i\" "
        "direction=\"in\"/><arg type=\"as\" direction=\"in\"/><arg type=\"u\" "
        "direction=\"out\"/><arg type=\"(ia{sv}av)\" direction=\"out\"/></method>\n"
        "    <method name=\"GetGroupProperties\"><arg type=\"ai\" direction=\"in\"/><arg "
        "type=\"as\" direction=\"in\"/><arg type=\"a(ia{sv})\" direction=\"out\"/></method>\n"
        "    <method name=\"GetProperty\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" "
        "direction=\"in\"/><arg type=\"v\" direction=\"out\"/></method>\n"
        "    <method name=\"Event\"><arg type=\"i\" direction=\"in\"/><arg type=\"s\" "
        "direction=\"in\"/><arg type=\"v\" direction=\"in\"/><arg type=\"u\" "
        "direction=\"in\"/></method>\n"
        "    <method name=\"EventGroup\"><arg type=\"a(isvu)\" direction=\"in\"/><arg "
        "type=\"ai\" direction=\"out\"/></method>\n"
        "    <method name=\"AboutToShow\"><arg type=\"i\" direction=\"in\"/><arg type=\"b\" "
        "direction=\"out\"/></method>\n"
        "    <method name=\"AboutToShowGroup\"><arg type=\"ai\" direction=\"in\"/><arg "
        "type=\"ai\" direction=\"out\"/><arg type=\"ai\" direction=\"out\"/></method>\n"
        "    <signal name=\"ItemsPropertiesUpdated\"><arg type=\"a(ia{sv})\"/><arg "
        "type=\"a(ias)\"/></signal>\n"
        "    <signal name=\"LayoutUpdated\"><arg type=\"u\"/><arg type=\"i\"/></signal>\n"
        "    <signal name=\"ItemActivationRequested\"><arg type=\"i\"/><arg "
        "type=\"u\"/></signal>\n"
        "  </interface>\n");
}

} // namespace corvane
