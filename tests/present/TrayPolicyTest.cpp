#include "present/TrayPolicy.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct HostCase {
    const char* name;
    QStringList processes;
    const char* desktop;
    TrayHost expected;
};

class HostDetection : public ::testing::TestWithParam<HostCase> {};

TEST_P(HostDetection, FromProcessesThenDesktop)
{
    const HostCase& c = GetParam();
    EXPECT_EQ(detectTrayHost(c.processes, QString::fromLatin1(c.desktop)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, HostDetection,
    ::testing::Values(HostCase{"gnome", {"gnome-shell"}, "", TrayHost::gnome},
                      // Plasma's watcher is in kded; the host name comes first when both are there.
                      HostCase{"plasma", {"plasmashell", "kded5"}, "", TrayHost::plasma},
                      HostCase{"kdedOnly", {"kded5"}, "", TrayHost::plasma},
                      HostCase{"xfceWrapper", {"panel-2-systray"}, "", TrayHost::xfce},
                      HostCase{"mateApplet", {"notification-ar"}, "", TrayHost::mate},
                      HostCase{"waybar", {"waybar"}, "sway", TrayHost::waybar},
                      HostCase{"unknownFirst", {"some-bar", "waybar"}, "", TrayHost::waybar},
                      HostCase{"desktopList", {"some-bar"}, "ubuntu:GNOME", TrayHost::gnome},
                      HostCase{"processWins", {"waybar"}, "KDE", TrayHost::waybar},
                      HostCase{"nothingKnown", {"some-bar"}, "sway", TrayHost::unknown}),
    [](const auto& info) { return std::string(info.param.name); });

struct PresentationCase {
    const char* name;
    TrayHost host;
    BarStyle style;
    TrayPresentation expected;
};

class Presentation : public ::testing::TestWithParam<PresentationCase> {};

TEST_P(Presentation, NumbersVisibleOnEveryHost)
{
    const PresentationCase& c = GetParam();
    EXPECT_EQ(chooseTrayPresentation(c.host, c.style), c.expected);
}

using K = TrayIconKind;
INSTANTIATE_TEST_SUITE_P(
    Hosts, Presentation,
    ::testing::Values(
        PresentationCase{"xfceStacked", TrayHost::xfce, BarStyle::stacked, {K::square, false}},
        PresentationCase{"xfceWide", TrayHost::xfce, BarStyle::wide, {K::square, false}},
        PresentationCase{"plasmaWide", TrayHost::plasma, BarStyle::wide, {K::square, false}},
        PresentationCase{"xembedWide", TrayHost::xembed, BarStyle::wide, {K::square, false}},
        PresentationCase{"waybarStacked", TrayHost::waybar, BarStyle::stacked, {K::stacked, false}},
        PresentationCase{"waybarWide", TrayHost::waybar, BarStyle::wide, {K::wide, false}},
        // MATE draws an existing label instead of the icon: none in the stacked style.
        PresentationCase{"mateStacked", TrayHost::mate, BarStyle::stacked, {K::square, false}},
        PresentationCase{"mateWide", TrayHost::mate, BarStyle::wide, {K::symbol, true}},
        // GNOME fails on a label property that appears later: it is always there.
        PresentationCase{
            "gnomeStacked", TrayHost::gnome, BarStyle::stacked, {K::square, false, true}},
        PresentationCase{"gnomeWide", TrayHost::gnome, BarStyle::wide, {K::symbol, true, true}},
        PresentationCase{"unknownWide", TrayHost::unknown, BarStyle::wide, {K::square, true}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TrayInkChoice, FollowsThePanelAndFallsBackToAPlate)
{
    const QColor white(Qt::white), dark(0x20, 0x20, 0x20);
    struct Case {
        LabelInk pref;
        TrayHost host;
        PanelTone tone;
        TrayInk expected;
    } cases[] = {
        {LabelInk::automatic, TrayHost::gnome, PanelTone::light, {white, false}},
        {LabelInk::automatic, TrayHost::plasma, PanelTone::dark, {white, false}},
        {LabelInk::automatic, TrayHost::plasma, PanelTone::light, {dark, false}},
        {LabelInk::automatic, TrayHost::waybar, PanelTone::unknown, {white, true}},
        {LabelInk::dark, TrayHost::gnome, PanelTone::dark, {dark, false}},
        {LabelInk::light, TrayHost::xfce, PanelTone::light, {white, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseTrayInk(c.pref, c.host, c.tone), c.expected)
            << int(c.pref) << ' ' << int(c.host) << ' ' << int(c.tone);
}

TEST(PanelToneSources, PlasmaThemeOverColourScheme)
{
    const QString lightScheme = QStringLiteral("[Colors:View]\nBackgroundNormal=20,20,20\n"
                                               "[Colors:Window]\nBackgroundNormal=239,240,241\n");
    const QString darkScheme = QStringLiteral("[Colors:Window]\nBackgroundNormal=32,35,38\n");
    const auto theme = [](const char* name) {
        return QStringLiteral("[General]\nname=x\n[Theme]\nname=%1\n").arg(QLatin1String(name));
    };
    EXPECT_EQ(plasmaPanelTone(theme("default"), lightScheme), PanelTone::light);
    EXPECT_EQ(plasmaPanelTone(theme("default"), darkScheme), PanelTone::dark);
    EXPECT_EQ(plasmaPanelTone({}, {}), PanelTone::light) << "nothing written: Breeze";
    // "Twilight": a dark desktop theme over light application colours.
    EXPECT_EQ(plasmaPanelTone(theme("breeze-dark"), lightScheme), PanelTone::dark);
    EXPECT_EQ(plasmaPanelTone(theme("breeze-light"), darkScheme), PanelTone::light);
    EXPECT_EQ(plasmaPanelTone(theme("oxygen"), lightScheme), PanelTone::unknown);
    EXPECT_EQ(plasmaPanelTone(theme("default"), QStringLiteral("[Colors:Window]\n"
                                                               "BackgroundNormal=garbage\n")),
              PanelTone::unknown);
}

TEST(PanelToneSources, XfcePanelColourOverDarkModeOverTheme)
{
    const QColor none;
    EXPECT_EQ(xfcePanelTone(false, 1, QColor(20, 20, 20), u"Adwaita"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(true, 1, QColor(240, 240, 240), u"Adwaita"), PanelTone::light);
    EXPECT_EQ(xfcePanelTone(true, 0, QColor(240, 240, 240), u"Adwaita"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u"Adwaita-dark"), PanelTone::dark);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u"Greybird"), PanelTone::light);
    EXPECT_EQ(xfcePanelTone(false, 0, none, u""), PanelTone::unknown);
}

} // namespace
