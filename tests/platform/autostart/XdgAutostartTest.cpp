#include "platform/autostart/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using corvane::XdgAutostart;
using namespace Qt::StringLiterals;

namespace {

// Reads an Exec value back the way a launcher does: the file's string escapes, then the
// argument quoting, then %%. Whatever a launcher would reject (an unquoted reserved
// character, a bad escape, a field code, an open quote) gives none.
std::optional<QStringList> parseExec(const QString& raw)
{
    QString value;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const qsizetype e = raw[i] != '\\'     ? -2
                            : ++i < raw.size() ? QLatin1String("sntr\\").indexOf(raw[i])
                                               : -1;
        if (e == -1)
            return std::nullopt;
        value += e == -2 ? raw[i] : QLatin1String(" \n\t\r\\")[e];
    }
    QStringList args;
    bool inArg = false, quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        QChar c = value[i];
        const bool escaped = quoted && c == '\\';
        if (escaped && (++i == value.size() || !QLatin1String("\"`$\\").contains(c = value[i])))
            return std::nullopt;
        if (!escaped && QLatin1String(quoted ? "`$" : "\t\n'\\><~|&;$*?#()`").contains(c))
            return std::nullopt;
        if (!quoted && c == ' ') {
            inArg = false;
            continue;
        }
        if (!std::exchange(inArg, true))
            args << QString();
        if (escaped || c != '"')
            args.last() += c;
        else
            quoted = !quoted;
    }
    for (QString& a : args) {
        if (QString(a).remove(QLatin1String("%%")).contains('%'))
            return std::nullopt;
        a.replace(QLatin1String("%%"), QLatin1String("%"));
    }
    return quoted ? std::nullopt : std::optional(args);
}

std::optional<QString> desktopValue(const QString& path, const QByteArray& key)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1));
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
    EXPECT_EQ(desktopValue(a.userEntryPath(), "Exec"), "/opt/corvane/bin/corvane");
    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(a.isEnabled());
    EXPECT_FALSE(QFile::exists(a.userEntryPath()));
    EXPECT_EQ(a.uninstall(), std::nullopt) << "removing an absent entry is no failure";
}

TEST_F(XdgAutostartTest, EntriesSwitchedOffByTheUserReadOff)
{
    const auto a = autostart();
    const std::pair<QByteArray, bool> entries[] = {
        {"[Desktop Entry]\nExec=x\n", true},
        {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true}};
    for (const auto& [text, enabled] : entries) {
        writeFile(a.userEntryPath(), text);
        EXPECT_EQ(a.isEnabled(), enabled) << text.toStdString();
    }
    EXPECT_EQ(a.install(), std::nullopt); // registering replaces whatever was there
    EXPECT_TRUE(a.isEnabled());
}

// Deleting our entry alone would let a system-wide one keep launching the app.
TEST_F(XdgAutostartTest, EnabledSystemEntryIsHiddenRatherThanLeftRunning)
{
    writeFile(tmp.path() + "/xdg/autostart/io.github.corvane.Corvane.desktop",
              "[Desktop Entry]\nType=Application\nExec=corvane\n");
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
}

// Installed from the package, the entry names the program, not where it happens to be.
TEST_F(XdgAutostartTest, ProgramInUsrBinIsStartedFromThePath)
{
    for (const auto& [program, exec] :
         {std::pair{u"/usr/bin/corvane"_s, u"corvane"_s},
          {u"/usr/bin/sub/corvane"_s, u"/usr/bin/sub/corvane"_s},
          {u"/usr/bin/other"_s, u"/usr/bin/other"_s},
          {u"/usr/local/bin/corvane"_s, u"/usr/local/bin/corvane"_s}}) {
        const auto a = autostart(program);
        ASSERT_EQ(a.install(), std::nullopt);
        EXPECT_EQ(desktopValue(a.userEntryPath(), "Exec"), exec);
    }
}

// An entry written under the old name moves to the new one as the state it had.
TEST_F(XdgAutostartTest, LegacyEntryIsCarriedOverOnce)
{
    const QString legacy = home() + "/autostart/corvane.desktop";
    const struct {
        QByteArray legacyText;
        std::optional<QByteArray> currentText;
        bool enabledAfter;
    } rows[] = {
        {"[Desktop Entry]\nExec=/old/build/corvane\n", std::nullopt, true},
        {"[Desktop Entry]\nExec=x\nHidden=true\n", std::nullopt, false},
        {"[Desktop Entry]\nExec=x\n", "[Desktop Entry]\nExec=x\nHidden=true\n", false},
    };
    for (const auto& row : rows) {
        const auto a = autostart();
        QFile::remove(a.userEntryPath());
        if (row.currentText)
            writeFile(a.userEntryPath(), *row.currentText);
        writeFile(legacy, row.legacyText);
        EXPECT_EQ(a.migrateLegacyEntry(), std::nullopt);
        EXPECT_FALSE(QFile::exists(legacy)) << row.legacyText.toStdString();
        EXPECT_EQ(a.isEnabled(), row.enabledAfter) << row.legacyText.toStdString();
        if (row.enabledAfter) {
            EXPECT_EQ(desktopValue(a.userEntryPath(), "Exec"), "/opt/corvane/bin/corvane");
        }
    }
    EXPECT_EQ(autostart().migrateLegacyEntry(), std::nullopt) << "nothing left to carry over";
}

TEST_F(XdgAutostartTest, HostileProgramPathReadsBackExactly)
{
    for (const QString& path :
         {u"/home/a b/corvane"_s, u"/x/\"q\"/'s'/$HOME/%f/100%%/b\\s/`id`;rm/c"_s,
          u"/x/\\\\/\\\"/\\$"_s, u"/x/~(a)|b&c<d>e*f?g#h"_s, u"/x/\u00e9t\u00e9/%u"_s}) {
        const auto a = autostart(path);
        ASSERT_EQ(a.install(), std::nullopt);
        const QString exec = desktopValue(a.userEntryPath(), "Exec").value_or("");
        EXPECT_EQ(parseExec(exec), QStringList{path}) << exec.toStdString();
    }
}

TEST_F(XdgAutostartTest, ControlCharactersInThePathAndAFifoEntryAreRefused)
{
    for (const QString& path :
         {u"/x/tab\t/a"_s, u"/x/nl\n/cr\r"_s, u"/x/\x1b[31m"_s, u"/x/\x7f"_s, u"/x/\u0085"_s})
        EXPECT_EQ(autostart(path).install(), u"The program's path contains control characters"_s);
    ASSERT_FALSE(QFile::exists(autostart().userEntryPath()));
    ASSERT_TRUE(QDir().mkpath(home() + "/autostart"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(autostart().userEntryPath()).constData(), 0600), 0);
    EXPECT_FALSE(autostart().isEnabled()) << "read without waiting for a writer";
}
