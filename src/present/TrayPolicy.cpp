#include "present/TrayPolicy.h"

#include <QRegularExpression>

namespace corvane {

TrayHost trayHostFromProcess(QStringView comm)
{
    if (comm == u"gnome-shell")
        return TrayHost::gnome;
    // Plasma's watcher lives in kded, its host in plasmashell.
    if (comm == u"plasmashell" || comm == u"kded5" || comm == u"kded6")
        return TrayHost::plasma;
    // Xfce runs its systray plugin in a wrapper process named after the plugin.
    if (comm == u"xfce4-panel" || comm == u"wrapper-2.0" ||
        (comm.startsWith(u"panel-") && comm.endsWith(u"-systray")))
        return TrayHost::xfce;
    // comm is cut to 15 bytes: "notification-area-applet" reads "notification-ar".
    if (comm == u"mate-panel" || comm.startsWith(u"notification-ar"))
        return TrayHost::mate;
    if (comm == u"waybar")
        return TrayHost::waybar;
    return TrayHost::unknown;
}

TrayHost detectTrayHost(const QStringList& processNames, QStringView currentDesktop)
{
    for (const QString& name : processNames)
        if (const TrayHost host = trayHostFromProcess(name); host != TrayHost::unknown)
            return host;
    // XDG_CURRENT_DESKTOP is a colon-separated list, e.g. "ubuntu:GNOME".
    for (QStringView desktop : currentDesktop.split(u':')) {
        if (desktop.compare(u"GNOME", Qt::CaseInsensitive) == 0)
            return TrayHost::gnome;
        if (desktop.compare(u"KDE", Qt::CaseInsensitive) == 0)
            return TrayHost::plasma;
        if (desktop.compare(u"XFCE", Qt::CaseInsensitive) == 0)
            return TrayHost::xfce;
        if (desktop.compare(u"MATE", Qt::CaseInsensitive) == 0)
            return TrayHost::mate;
    }
    return TrayHost::unknown;
}

TrayPresentation chooseTrayPresentation(TrayHost host, BarStyle style)
{
    // waybar scales an icon to its bar height and keeps the aspect ratio; every other known
    // host fits it into a square slot.
    const bool keepsAspect = host == TrayHost::waybar;
    if (style == BarStyle::stacked)
        return {keepsAspect ? TrayIconKind::stacked : TrayIconKind::square, false,
                host == TrayHost::gnome};
    switch (host) {
    case TrayHost::gnome:
        return {TrayIconKind::symbol, true, true};
    case TrayHost::mate:
        return {TrayIconKind::symbol, true};
    case TrayHost::unknown:
        // It may draw the label or not: the numbers must show either way.
        return {TrayIconKind::square, true};
    default:
        return {keepsAspect ? TrayIconKind::wide : TrayIconKind::square, false};
    }
}

TrayInk chooseTrayInk(LabelInk preference, TrayHost host, PanelTone tone)
{
    static const QColor lightInk(Qt::white);
    static const QColor darkInk(0x20, 0x20, 0x20);
    switch (preference) {
    case LabelInk::light:
        return {lightInk, false};
    case LabelInk::dark:
        return {darkInk, false};
    case LabelInk::automatic:
        break;
    }
    // GNOME's top bar is dark in both colour schemes.
    if (host == TrayHost::gnome || tone == PanelTone::dark)
        return {lightInk, false};
    if (tone == PanelTone::light)
        return {darkInk, false};
    return {lightInk, true};
}

PanelTone toneOf(const QColor& background)
{
    if (!background.isValid())
        return PanelTone::unknown;
    return background.lightnessF() > 0.5 ? PanelTone::light : PanelTone::dark;
}

namespace {

// The value of `key` in `[section]` of an INI text, or a null string.
QString iniValue(const QString& text, QStringView section, QStringView key)
{
    bool inSection = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inSection = line == QString(u'[' + section.toString() + u']');
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0 && line.left(eq).trimmed() == key)
            return line.mid(eq + 1).trimmed().toString();
    }
    return {};
}

PanelTone toneFromName(QStringView name)
{
    if (name.contains(u"dark", Qt::CaseInsensitive))
        return PanelTone::dark;
    if (name.contains(u"light", Qt::CaseInsensitive))
        return PanelTone::light;
    return PanelTone::unknown;
}

} // namespace

PanelTone plasmaPanelTone(const QString& plasmarc, const QString& kdeglobals)
{
    const QString theme = iniValue(plasmarc, u"Theme", u"name");
    if (!theme.isEmpty() && theme != u"default")
        return toneFromName(theme);
    // The default theme draws the panel in the colour scheme's window colours; without a
    // scheme written down it is Breeze, which is light.
    const QString rgb = iniValue(kdeglobals, u"Colors:Window", u"BackgroundNormal");
    if (rgb.isEmpty())
        return PanelTone::light;
    static const QRegularExpression triple(QStringLiteral("^(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch m = triple.match(rgb);
    if (!m.hasMatch())
        return PanelTone::unknown;
    return toneOf(QColor(std::min(m.captured(1).toInt(), 255), std::min(m.captured(2).toInt(), 255),
                         std::min(m.captured(3).toInt(), 255)));
}

PanelTone xfcePanelTone(bool darkMode, int backgroundStyle, const QColor& background,
                        QStringView gtkTheme)
{
    if (backgroundStyle == 1 && background.isValid())
        return toneOf(background);
    if (darkMode)
        return PanelTone::dark;
    if (gtkTheme.isEmpty())
        return PanelTone::unknown;
    // A GTK theme draws the panel in its own colours; only a "-dark" variant says which.
    return toneFromName(gtkTheme) == PanelTone::dark ? PanelTone::dark : PanelTone::light;
}

PanelTone gtkSettingsTone(const QString& settingsIni)
{
    const QString dark = iniValue(settingsIni, u"Settings", u"gtk-application-prefer-dark-theme");
    if (dark == u"1" || dark.compare(u"true", Qt::CaseInsensitive) == 0)
        return PanelTone::dark;
    const QString theme = iniValue(settingsIni, u"Settings", u"gtk-theme-name");
    if (theme.isEmpty())
        return PanelTone::unknown;
    return toneFromName(theme) == PanelTone::dark ? PanelTone::dark : PanelTone::light;
}

PanelTone waybarTone(const QString& css)
{
    static const QRegularExpression rule(
        QStringLiteral("window#waybar\\s*\\{[^}]*?background(?:-color)?\\s*:\\s*([^;}]+)"));
    const QRegularExpressionMatch m = rule.match(css);
    if (!m.hasMatch())
        return PanelTone::unknown;
    const QString value = m.captured(1).trimmed();
    static const QRegularExpression rgba(QStringLiteral(
        "^rgba?\\(\\s*(\\d+)\\s*,\\s*(\\d+)\\s*,\\s*(\\d+)\\s*(?:,\\s*([0-9.]+)\\s*)?\\)"));
    QColor c;
    if (const QRegularExpressionMatch f = rgba.match(value); f.hasMatch()) {
        if (!f.captured(4).isEmpty() && f.captured(4).toDouble() < 0.5)
            return PanelTone::unknown;
        c = QColor(std::min(f.captured(1).toInt(), 255), std::min(f.captured(2).toInt(), 255),
                   std::min(f.captured(3).toInt(), 255));
    } else if (value.startsWith(u'#')) {
        c = QColor::fromString(value.left(7));
    }
    return toneOf(c);
}

} // namespace corvane
