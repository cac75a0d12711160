#include "present/TrayPolicy.h"

#include "platform/desktop/TrayDesktop.h"

#include <QDir>
#include <QSaveFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

// The host from its processes, then the desktop; what it is shown; the ink on its panel.
TEST(TrayChoices, HostPresentationAndInk)
{
    const std::tuple<QStringList, const char*, TrayHost> hosts[] = {
        {{"gnome-shell"}, "", TrayHost::gnome},
        // Plasma's watcher is in kded; the host name comes first when both are there.
        {{"plasmashell", "kded5"}, "", TrayHost::plasma},
        {{"kded5"}, "", TrayHost::plasma},
        {{"panel-2-systray"}, "", TrayHost::xfce},
        {{"notification-ar"}, "", TrayHost::mate},
        {{"some-bar", "waybar"}, "", TrayHost::waybar},
        {{"some-bar"}, "ubuntu:GNOME", TrayHost::gnome},
        {{"waybar"}, "KDE", TrayHost::waybar},
        {{"some-bar"}, "sway", TrayHost::unknown},
    };
    for (const auto& [processes, desktop, expected] : hosts)
        EXPECT_EQ(detectTrayHost(processes, QString::fromLatin1(desktop)), expected)
            << processes.join(u',').toStdString() << ' ' << desktop;

    // The numbers are visible on every host.
    using K = TrayIconKind;
    constexpr auto stacked = BarStyle::stacked, wide = BarStyle::wide;
    const std::tuple<TrayHost, BarStyle, TrayPresentation> presentations[] = {
        {TrayHost::xfce, stacked, {K::square, false}},
        {TrayHost::plasma, wide, {K::square, false}},
        {TrayHost::xembed, wide, {K::square, false}},
        {TrayHost::waybar, stacked, {K::stacked, false}},
        {TrayHost::waybar, wide, {K::wide, false}},
        // MATE draws an existing label instead of the icon: none in the stacked style.
        {TrayHost::mate, stacked, {K::square, false}},
        {TrayHost::mate, wide, {K::symbol, true}},
        // GNOME fails on a label property that appears later: it is always there.
        {TrayHost::gnome, stacked, {K::square, false, true}},
        {TrayHost::gnome, wide, {K::symbol, true, true}},
        {TrayHost::unknown, wide, {K::square, true}},
    };
    for (const auto& [host, style, expected] : presentations)
        EXPECT_EQ(chooseTrayPresentation(host, style), expected) << int(host) << ' ' << int(style);

    // The ink follows the panel and falls back to a plate.
    const QColor white(Qt::white), dark(0x20, 0x20, 0x20);
    const std::tuple<LabelInk, TrayHost, PanelTone, TrayInk> inks[] = {
        {LabelInk::automatic, TrayHost::gnome, PanelTone::light, {white, false}},
        {LabelInk::automatic, TrayHost::plasma, PanelTone::dark, {white, false}},
        {LabelInk::automatic, TrayHost::plasma, PanelTone::light, {dark, false}},
        {LabelInk::automatic, TrayHost::waybar, PanelTone::unknown, {white, true}},
        {LabelInk::dark, TrayHost::gnome, PanelTone::dark, {dark, false}},
        {LabelInk::light, TrayHost::xfce, PanelTone::light, {white, false}},
    };
    for (const auto& [pref, host, tone, expected] : inks)
        EXPECT_EQ(chooseTrayInk(pref, host, tone), expected)
            << int(pref) << ' ' << int(host) << ' ' << int(tone);
}

TEST(PanelToneSources, FromEachDesktopsSettings)
{
    const QString light = QStringLiteral("[Colors:View]\nBackgroundNormal=20,20,20\n"
                                         "[Colors:Window]\nBackgroundNormal=239,240,241\n");
    const QString dark = QStringLiteral("[Colors:Window]\nBackgroundNormal=32,35,38\n");
    EXPECT_EQ(plasmaPanelTone(u"[Theme]\nname=default\n"_s, light), PanelTone::light);
    EXPECT_EQ(plasmaPanelTone(u"[Theme]\nname=default\n"_s, dark), PanelTone::dark);
    EXPECT_EQ(plasmaPanelTone({}, {}), PanelTone::light) << "nothing written: Breeze";
    EXPECT_EQ(plasmaPanelTone(u"[Theme]\nname=breeze-dark\n"_s, light), PanelTone::dark);
    EXPECT_EQ(plasmaPanelTone(u"[Theme]\nname=breeze-light\n"_s, dark), PanelTone::light);
    EXPECT_EQ(plasmaPanelTone(u"[Theme]\nname=oxygen\n"_s, light), PanelTone::unknown);
    EXPECT_EQ(plasmaPanelTone({}, QStringLiteral("[Colors:Window]\nBackgroundNormal=x\n")),
              PanelTone::unknown);

    const QColor none, black(20, 20, 20), white(240, 240, 240);
    EXPECT_EQ(xfcePanelTone(false, 1, black, u"Adwaita"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(true, 1, white, u"Adwaita"), PanelTone::light);
    EXPECT_EQ(xfcePanelTone(true, 0, white, u"Adwaita"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u"Adwaita-dark"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u"Greybird"), PanelTone::light);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u""), PanelTone::unknown);

    const auto settings = [](const char* line) { return u"[Settings]\n"_s + QLatin1String(line); };
    EXPECT_EQ(gtkSettingsTone(settings("gtk-application-prefer-dark-theme=true")), PanelTone::dark);
    EXPECT_EQ(gtkSettingsTone(settings("")), PanelTone::unknown);
    const std::pair<const char*, PanelTone> waybar[] = {
        {"window#waybar { background: rgba(43, 48, 59, 0.9); }", PanelTone::dark},
        {"window#waybar{color:#fff;background-color:#eeeeee}", PanelTone::light},
        {"window#waybar { background: rgba(255, 255, 255, 0.2); }", PanelTone::unknown},
        {"#clock { background: #000; }", PanelTone::unknown},
    };
    for (const auto& [css, tone] : waybar)
        EXPECT_EQ(waybarTone(QString::fromLatin1(css)), tone) << css;
}

// Each host's own files decide, and a theme saved meanwhile (as a new file) is followed.
TEST(PanelToneWatcher, ReadsAndFollowsTheFilesOfItsHost)
{
    QTemporaryDir home;
    const auto save = [&](const QString& name, const QByteArray& text) {
        QDir().mkpath(QFileInfo(home.filePath(name)).path());
        QSaveFile f(home.filePath(name)); // a new file renamed over the old, as desktops save
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(text) == text.size() && f.commit());
    };
    save(u"gtk-3.0/settings.ini"_s, "[Settings]\ngtk-theme-name=Yaru-dark\n");
    save(u"waybar/style.css"_s, "window#waybar { background: #eeeeee; }");
    save(u"kdeglobals"_s, "[Colors:Window]\nBackgroundNormal=32,35,38\n");
    PanelToneWatcher watcher(QDBusConnection(u"none"_s), home.path());
    for (auto [host, tone] : {std::pair{TrayHost::mate, PanelTone::dark},
                              {TrayHost::waybar, PanelTone::light},
                              {TrayHost::plasma, PanelTone::dark},
                              {TrayHost::xfce, PanelTone::dark}, // no xfconf: GTK's file
                              {TrayHost::gnome, PanelTone::unknown}}) {
        watcher.follow(host);
        EXPECT_EQ(watcher.tone(), tone) << int(host);
    }
    watcher.follow(TrayHost::mate);
    QSignalSpy changed(&watcher, &PanelToneWatcher::toneChanged);
    save(u"gtk-3.0/settings.ini"_s, "[Settings]\ngtk-theme-name=Yaru\n");
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_EQ(watcher.tone(), PanelTone::light);
}

} // namespace
