#pragma once

#include "present/BarStyle.h"
#include "present/LabelInk.h"

#include <QColor>
#include <QStringList>
#include <QStringView>

namespace corvane {

// The program that draws the tray, as far as it can be told. Hosts differ in what they do
// with an item: the size of its slot, whether they keep an image's aspect ratio, whether they
// draw XAyatanaLabel themselves, and the colour of the panel behind it.
enum class TrayHost { unknown, gnome, plasma, xfce, mate, waybar, xembed };

// The host a process belongs to, from its /proc/PID/comm name (at most 15 bytes).
TrayHost trayHostFromProcess(QStringView comm);
// The first process name that is a known host wins (the StatusNotifierHost owners, then the
// watcher's); failing that, XDG_CURRENT_DESKTOP.
TrayHost detectTrayHost(const QStringList& processNames, QStringView currentDesktop);

// What the item's icon shows.
enum class TrayIconKind {
    square,  // two lines of numbers filling a square slot, offered at several sizes
    stacked, // the 2:1 two-line image, for hosts that keep the aspect ratio
    wide,    // the one-line text as an image, for hosts that keep the aspect ratio
    symbol,  // the app symbol; the host draws the numbers from XAyatanaLabel
};

struct TrayPresentation {
    TrayIconKind icon = TrayIconKind::square;
    // Show the text as XAyatanaLabel. Otherwise the property is left out, as some hosts
    // draw the label instead of the icon whenever it exists, even when it is empty...
    bool label = false;
    // ...except where the host fails on a label that appears later (GNOME's extension):
    // there it is always there, empty when not shown.
    bool keepLabelProperty = false;

    friend bool operator==(const TrayPresentation&, const TrayPresentation&) = default;
};

TrayPresentation chooseTrayPresentation(TrayHost host, BarStyle style);

// The panel's background as the desktop reports it.
enum class PanelTone { unknown, light, dark };

struct TrayInk {
    QColor ink;
    // A dark rounded plate under light ink, readable on any panel colour.
    bool backdrop = false;

    friend bool operator==(const TrayInk&, const TrayInk&) = default;
};

TrayInk chooseTrayInk(LabelInk preference, TrayHost host, PanelTone tone);

// Plasma's panel follows its desktop theme (plasmarc), which may differ from the application
// colours; the default Breeze theme follows the colour scheme (kdeglobals). Both are INI
// texts; a theme of unknown colour gives unknown.
PanelTone plasmaPanelTone(const QString& plasmarc, const QString& kdeglobals);

// Xfce's panel: its dark-mode switch, its own background (style 1 is a solid colour), else
// the GTK theme. An empty theme name gives unknown.
PanelTone xfcePanelTone(bool darkMode, int backgroundStyle, const QColor& background,
                        QStringView gtkTheme);

// GTK's own settings.ini: a preferred dark variant or a "-dark" theme, else light when a
// theme is named at all. MATE's and Xfce's panels are drawn by GTK.
PanelTone gtkSettingsTone(const QString& settingsIni);

// waybar's style sheet: the background of `window#waybar`. A bar mostly see-through shows
// the wallpaper, of unknown colour.
PanelTone waybarTone(const QString& css);

// The tone of a background colour.
PanelTone toneOf(const QColor& background);

} // namespace corvane
