#include "platform/autostart/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using corvane::XdgAutostart;
using namespace Qt::StringLiterals;

namespace {

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
    QString systemEntry() const { return tmp.path() + "/xdg/autostart/" + XdgAutostart::fileName; }
    XdgAutostart autostart(const QString& program = "/opt/corvane/bin/corvane") const
    {
        return XdgAutostart(home(), {tmp.path() + "/xdg"}, program);
    }

    QTemporaryDir tmp;
};

} // namespace

// Exec as a launcher reads it: quoted where a reserved character needs it, with `"$\ escaped
// inside the quotes, %% for a percent sign, and the file's own escaping of backslashes on top.
// The packaged program is started from the PATH.
TEST_F(XdgAutostartTest, ExecNamesTheProgramExactly)
{
    const std::pair<QString, QString> rows[] = {
        {u"/opt/corvane/bin/corvane"_s, u"/opt/corvane/bin/corvane"_s},
        {u"/usr/bin/corvane"_s, u"corvane"_s},
        {u"/usr/bin/sub/corvane"_s, u"/usr/bin/sub/corvane"_s},
        {u"/home/a b/corvane"_s, u"\"/home/a b/corvane\""_s},
        {u"/x/%u/100%"_s, u"/x/%%u/100%%"_s},
        {u"/x/it's/~(a)|b&c<d>e*f?g#h;"_s, u"\"/x/it's/~(a)|b&c<d>e*f?g#h;\""_s},
        {uR"(/x/"q"/$HOME/`id`/b\s)"_s, uR"("/x/\\"q\\"/\\$HOME/\\`id\\`/b\\\\s")"_s},
        {u"/x/\u00e9t\u00e9"_s, u"/x/\u00e9t\u00e9"_s},
    };
    for (const auto& [program, exec] : rows)
        EXPECT_TRUE(XdgAutostart::entryText(program).contains("\nExec=" + exec.toUtf8() + '\n'))
            << program.toStdString();
    for (const QString& path : {u"/x/tab\t/a"_s, u"/x/\x1b[31m"_s, u"/x/\x7f"_s, u"/x/\u0085"_s})
        EXPECT_EQ(autostart(path).install(), u"The program's path contains control characters"_s);
}

// Only the main group counts; switched off, an entry reads off. (Over a system entry: below.)
TEST_F(XdgAutostartTest, WhichEntryAppliesAndWhetherItIsOn)
{
    const auto a = autostart();
    const std::pair<std::optional<QByteArray>, bool> rows[] = {
        {std::nullopt, false},
        {"[Desktop Entry]\nExec=x\n", true},
        {"[Desktop Entry]\nExec=x\nHidden=true\n", false},
        {"[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nExec=x\n[Desktop Action a]\nHidden=true\n", true},
        {"Exec=x\n", false},
    };
    for (const auto& [user, enabled] : rows) {
        QFile::remove(a.userEntryPath());
        if (user)
            writeFile(a.userEntryPath(), *user);
        EXPECT_EQ(a.isEnabled(), enabled) << user.value_or("-").toStdString();
    }
    // Read without waiting for a writer.
    QFile::remove(a.userEntryPath());
    ASSERT_EQ(::mkfifo(QFile::encodeName(a.userEntryPath()).constData(), 0600), 0);
    EXPECT_FALSE(a.isEnabled());
}

// Deleting our entry alone would let a system-wide one keep launching the app.
TEST_F(XdgAutostartTest, InstallAndUninstallAroundASystemEntry)
{
    const auto a = autostart();
    EXPECT_EQ(a.install(), std::nullopt);
    EXPECT_TRUE(a.isEnabled());
    EXPECT_TRUE(contents(a.userEntryPath()).contains("\nExec=/opt/corvane/bin/corvane\n"));
    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(QFile::exists(a.userEntryPath()));
    EXPECT_EQ(a.uninstall(), std::nullopt) << "removing an absent entry is no failure";

    writeFile(systemEntry(), "[Desktop Entry]\nType=Application\nExec=corvane\n");
    EXPECT_TRUE(a.isEnabled());
    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(a.isEnabled());
    writeFile(systemEntry(), "[Desktop Entry]\nHidden=true\n"); // off: nothing to hide
    EXPECT_EQ(a.uninstall(), std::nullopt);
    EXPECT_FALSE(QFile::exists(a.userEntryPath()));

    // A regular file where the configuration directory should be stops even root.
    writeFile(tmp.path() + "/file", "not a directory");
    const XdgAutostart blocked(tmp.path() + "/file/config", {}, "/opt/corvane/bin/corvane");
    EXPECT_TRUE(blocked.install().value_or("").endsWith(": Not a directory"));
    EXPECT_TRUE(blocked.uninstall().value_or("").endsWith(": Not a directory"));
}

// An entry written under the old name moves to the new one as the state it had.
TEST_F(XdgAutostartTest, LegacyEntryIsCarriedOverOnce)
{
    const QString legacy = home() + "/autostart/corvane.desktop";
    // The old entry, the current one, and whether autostart is on after.
    const std::tuple<QByteArray, std::optional<QByteArray>, bool> rows[] = {
        {"[Desktop Entry]\nExec=/old/build/corvane\n", std::nullopt, true},
        {"[Desktop Entry]\nExec=x\nHidden=true\n", std::nullopt, false},
        {"[Desktop Entry]\nExec=x\n", "[Desktop Entry]\nExec=x\nHidden=true\n", false},
    };
    const auto a = autostart();
    for (const auto& [old, current, enabled] : rows) {
        QFile::remove(a.userEntryPath());
        if (current)
            writeFile(a.userEntryPath(), *current);
        writeFile(legacy, old);
        EXPECT_EQ(a.migrateLegacyEntry(), std::nullopt);
        EXPECT_FALSE(QFile::exists(legacy)) << old.toStdString();
        EXPECT_EQ(a.isEnabled(), enabled) << old.toStdString();
    }
    EXPECT_EQ(a.migrateLegacyEntry(), std::nullopt) << "nothing left to carry over";
}
