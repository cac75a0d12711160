#include "platform/autostart/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using corvane::XdgAutostart;

void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Reads an Exec value back the way a launcher does: the file's string escapes, then the
// argument quoting, then %%. Whatever a launcher would reject (an unquoted reserved
// character, a bad escape, a field code, an open quote) gives none.
std::optional<QStringList> parseExec(const QString& raw)
{
    QString value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        static const QHash<QChar, QChar> escapes{
            {'s', ' '}, {'n', '\n'}, {'t', '\t'}, {'r', '\r'}, {'\\', '\\'}};
        if (raw[i] != '\\')
            value += raw[i];
        else if (++i < raw.size() && escapes.contains(raw[i]))
            value += escapes[raw[i]];
        else
            return std::nullopt;
    }
    QStringList args;
    QString arg;
    bool inArg = false, quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (quoted && c == '\\') {
            if (++i == value.size() || !QStringLiteral("\"`$\\").contains(value[i]))
                return std::nullopt;
            arg += value[i];
        } else if (c == '"') {
            quoted = !quoted;
            inArg = true;
        } else if (quoted || c != ' ') {
            if ((quoted ? QStringLiteral("`$") : QStringLiteral("\t\n'\\><~|&;$*?#()`"))
                    .contains(c))
                return std::nullopt;
            arg += c;
            inArg = true;
        } else if (inArg) {
            args << std::exchange(arg, {});
            inArg = false;
        }
    }
    if (quoted)
        return std::nullopt;
    if (inArg)
        args << arg;
    for (QString& a : args) {
        if (QString(a).remove(QStringLiteral("%%")).contains('%'))
            return std::nullopt;
        a.replace(QStringLiteral("%%"), QStringLiteral("%"));
    }
    return args;
}

std::optional<QString> desktopValue(const QString& path, const QByteArray& key)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    bool inMain = false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith('['))
            inMain = line == "[Desktop Entry]";
        else if (inMain && line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
    }
    return std::nullopt;
}

void writeFile(const QString& path, const QByteArray& text)
{
    QDir().mkpath(path.section('/', 0, -2));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

class XdgAutostartTest : public ::testing::Test {
protected:
    QString home() const { return tmp.path() + "/config"; }
    QString systemEntry() const { return tmp.path() + "/xdg/autostart/corvane.desktop"; }
    XdgAutostart autostart(const QString& program = "/opt/corvane/bin/corvane") const
    {
        return XdgAutostart(home(), {tmp.path() + "/xdg"}, program);
    }

    QTemporaryDir tmp;
};

} // namespace

TEST_F(XdgAutostartTest, InstallThenUninstallRoundTrips)
{
    const auto a = autostart();
    EXPECT_FALSE(a.isEnabled());
    EXPECT_EQ(a.install(), std::nullopt);
    EXPECT_TRUE(a.isEnabled());
    EXPECT_EQ(desktopValue(a.userEntryPath(), "Type"), "Application");
    EXPECT_EQ(desktopValue(a.userEntryPath(), "Name"), "Corvane");
    EXPECT_EQ(desktopValue(a.userEntryPath(), "Exec"), "/opt/corvane/bin/corvane");

    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(a.isEnabled());
    EXPECT_FALSE(QFile::exists(a.userEntryPath()));
    EXPECT_EQ(a.uninstall(), std::nullopt) << "removing an absent entry is no failure";
}

struct EntryCase {
    const char* name;
    QByteArray text;
    bool enabled;
};

class EntryStateTest : public XdgAutostartTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(EntryStateTest, ReadsWhatASessionWouldDo)
{
    const auto a = autostart();
    writeFile(a.userEntryPath(), GetParam().text);
    EXPECT_EQ(a.isEnabled(), GetParam().enabled);
    EXPECT_EQ(a.install(), std::nullopt); // registering replaces whatever was there
    EXPECT_TRUE(a.isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, EntryStateTest,
    ::testing::Values(
        EntryCase{"Plain", "[Desktop Entry]\nExec=x\n", true},
        EntryCase{"Hidden", "[Desktop Entry]\nExec=x\nHidden=true\n", false},
        EntryCase{"GnomeOff", "[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        EntryCase{"SpacedNumeric", "[Desktop Entry]\n  Hidden = 1\n", false},
        EntryCase{"OtherGroup", "[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
        EntryCase{"NoMainGroup", "Exec=x\n", false}),
    [](const auto& info) { return info.param.name; });

TEST_F(XdgAutostartTest, EnabledSystemEntryIsHiddenRatherThanLeftRunning)
{
    writeFile(systemEntry(), "[Desktop Entry]\nType=Application\nExec=corvane\n");
    const auto a = autostart();
    EXPECT_TRUE(a.isEnabled());
    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(a.isEnabled());
    EXPECT_EQ(desktopValue(a.userEntryPath(), "Hidden"), "true");
}

TEST_F(XdgAutostartTest, FailuresCarryTheReason)
{
    // A regular file where the configuration directory should be stops even root.
    writeFile(home(), "not a directory");
    const auto a = autostart();
    EXPECT_TRUE(a.install().value_or("").endsWith(": Not a directory"));
    EXPECT_TRUE(a.uninstall().value_or("").endsWith(": Not a directory"));
    EXPECT_FALSE(a.isEnabled());
    EXPECT_TRUE(autostart("relative/corvane").install().has_value());
}

class HostilePathTest : public XdgAutostartTest, public ::testing::WithParamInterface<QString> {};

TEST_P(HostilePathTest, ExecReadsBackAsTheExactPath)
{
    const auto a = autostart(GetParam());
    ASSERT_EQ(a.install(), std::nullopt);
    const QString exec = desktopValue(a.userEntryPath(), "Exec").value_or("");
    EXPECT_EQ(parseExec(exec), QStringList{GetParam()}) << exec.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Paths, HostilePathTest,
                         ::testing::Values("/opt/corvane", "/home/a b/corvane",
                                           "/x/\"q\"/'s'/$HOME/%f/100%%/b\\s/`id`;rm/c",
                                           "/x/\\\\/\\\"/\\$/tab\t/nl\n/cr\r",
                                           "/x/~(a)|b&c<d>e*f?g#h", "/x/\u00e9t\u00e9/%u"),
                         [](const auto& info) { return "path" + std::to_string(info.index); });

TEST(XdgAutostartDefaults, ConfigHomeIsUsedOnlyWhenAbsolute)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const QString fallback = QDir::homePath() + "/.config";
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(XdgAutostart::defaultConfigHome(), fallback);
    for (const char* value : {"", "relative/dir"}) {
        qputenv("XDG_CONFIG_HOME", value);
        EXPECT_EQ(XdgAutostart::defaultConfigHome(), fallback) << value;
    }
    qputenv("XDG_CONFIG_HOME", "/srv/cfg");
    EXPECT_EQ(XdgAutostart().userEntryPath(), "/srv/cfg/autostart/corvane.desktop");
    saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
}
