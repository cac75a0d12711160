#include "platform/desktop/TrayDesktop.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QFileSystemWatcher>

namespace corvane {

namespace {

const QString xfconfService = QStringLiteral("org.xfce.Xfconf");
const QString xfconfPath = QStringLiteral("/org/xfce/Xfconf");
constexpr int busTimeoutMs = 1000;

QString processName(uint pid)
{
    QFile f(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(64)).trimmed();
}

QString readSmallFile(const QString& path)
{
    QFile f(path);
    // Config files of a few kilobytes; a larger or special file is not a theme setting.
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || f.isSequential())
        return {};
    return QString::fromUtf8(f.read(256 * 1024));
}

// One xfconf property, or an invalid variant.
QVariant xfconf(const QDBusConnection& bus, const QString& channel, const QString& property)
{
    QDBusMessage call = QDBusMessage::createMethodCall(xfconfService, xfconfPath, xfconfService,
                                                       QStringLiteral("GetProperty"));
    call << channel << property;
    const QDBusMessage reply = bus.call(call, QDBus::Block, busTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

// xfconf arrays arrive as a D-Bus array of variants.
QVariantList xfconfList(const QVariant& v)
{
    QVariantList out;
    if (!v.canConvert<QDBusArgument>())
        return v.toList();
    const QDBusArgument arg = v.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant item;
        arg >> item;
        out.append(item.variant());
    }
    arg.endArray();
    return out;
}

} // namespace

QStringList trayHostProcesses(const QDBusConnection& bus)
{
    QStringList out;
    QDBusConnectionInterface* daemon = bus.interface();
    if (!daemon)
        return out;
    const QDBusReply<QStringList> names = daemon->registeredServiceNames();
    if (!names.isValid())
        return out;
    QStringList owners;
    for (const QString& name : names.value())
        if (name.startsWith(u"org.kde.StatusNotifierHost-"))
            owners << name;
    owners << QStringLiteral("org.kde.StatusNotifierWatcher");
    for (const QString& name : owners) {
        const QDBusReply<uint> pid = daemon->servicePid(name);
        if (pid.isValid())
            if (const QString comm = processName(pid.value()); !comm.isEmpty())
                out << comm;
    }
    return out;
}

PanelToneWatcher::PanelToneWatcher(QDBusConnection bus, QString configHome, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), configHome_(std::move(configHome))
{}

PanelToneWatcher::~PanelToneWatcher() = default;

void PanelToneWatcher::follow(TrayHost host)
{
    host_ = host;
    files_.reset();
    QStringList folders;
    if (host == TrayHost::plasma)
        folders << configHome_;
    else if (host == TrayHost::waybar)
        folders << configHome_ + QStringLiteral("/waybar");
    else if (host == TrayHost::mate || host == TrayHost::xfce)
        folders << configHome_ + QStringLiteral("/gtk-3.0");
    if (!folders.isEmpty()) {
        // Settings are saved by replacing the file, which only a watch on the folder sees.
        files_ = std::make_unique<QFileSystemWatcher>(folders);
        connect(files_.get(), &QFileSystemWatcher::directoryChanged, this,
                &PanelToneWatcher::reread);
    }
    if (host == TrayHost::xfce && !xfconfConnected_ && bus_.isConnected()) {
        xfconfConnected_ = bus_.connect(xfconfService, xfconfPath, xfconfService,
                                        QStringLiteral("PropertyChanged"), this,
                                        SLOT(onXfconfChanged(QString, QString)));
    }
    reread();
}

void PanelToneWatcher::onXfconfChanged(const QString& channel, const QString&)
{
    if (host_ == TrayHost::xfce && (channel == u"xfce4-panel" || channel == u"xsettings"))
        reread();
}

void PanelToneWatcher::reread()
{
    PanelTone next = PanelTone::unknown;
    const auto gtk = [this] {
        return gtkSettingsTone(
            readSmallFile(configHome_ + QStringLiteral("/gtk-3.0/settings.ini")));
    };
    if (host_ == TrayHost::plasma) {
        next = readPlasma();
    } else if (host_ == TrayHost::xfce) {
        next = readXfce();
        // Without a settings daemon GTK, and so the panel, takes its theme from the file.
        if (next == PanelTone::unknown)
            next = gtk();
    } else if (host_ == TrayHost::mate) {
        next = gtk();
    } else if (host_ == TrayHost::waybar) {
        QString css = readSmallFile(configHome_ + QStringLiteral("/waybar/style.css"));
        if (css.isEmpty())
            css = readSmallFile(QStringLiteral("/etc/xdg/waybar/style.css"));
        next = waybarTone(css);
    }
    if (next == tone_)
        return;
    tone_ = next;
    Q_EMIT toneChanged();
}

PanelTone PanelToneWatcher::readPlasma() const
{
    return plasmaPanelTone(readSmallFile(configHome_ + QStringLiteral("/plasmarc")),
                           readSmallFile(configHome_ + QStringLiteral("/kdeglobals")));
}

PanelTone PanelToneWatcher::readXfce() const
{
    const QString panels = QStringLiteral("xfce4-panel");
    // The first panel listed; the tray is on it in a default layout.
    const QVariantList ids = xfconfList(xfconf(bus_, panels, QStringLiteral("/panels")));
    const QString panel =
        QStringLiteral("/panels/panel-%1").arg(ids.isEmpty() ? 1 : ids.first().toInt());
    const bool dark = xfconf(bus_, panels, QStringLiteral("/panels/dark-mode")).toBool();
    const int style = xfconf(bus_, panels, panel + QStringLiteral("/background-style")).toInt();
    QColor background;
    const QVariantList rgba =
        xfconfList(xfconf(bus_, panels, panel + QStringLiteral("/background-rgba")));
    if (rgba.size() >= 3)
        background = QColor::fromRgbF(rgba[0].toFloat(), rgba[1].toFloat(), rgba[2].toFloat());
    const QString theme =
        xfconf(bus_, QStringLiteral("xsettings"), QStringLiteral("/Net/ThemeName")).toString();
    return xfcePanelTone(dark, style, background, theme);
}

} // namespace corvane
