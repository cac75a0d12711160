#include "model/Preferences.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace corvane;
using namespace Qt::StringLiterals;

namespace {

class PreferencesFile : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("corvane/corvane.conf")); }
    void writeRaw(const QByteArray& content)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("corvane")));
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray readRaw() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(PreferencesFile, MissingOrUnusableValuesGiveDefaults)
{
    for (const QByteArray& content :
         {QByteArray(), QByteArray("\xff\xfe\x00[[[=\n=\x80\nbarStyle\n", 17),
          QByteArray("[General]\nbarStyle=Wide\nunits=Bytes\nprivacyMode=banana\n"
                     "publicIPLookup=banana\ninterfaceOverride=sixteen-bytes-xx\n"
                     "starlinkDashboardURL=http://dish.example\n"),
          QByteArray("[General]\nbarStyle=wide\xff\ninterfaceOverride=eth0, eth1\nunits=\"bytes\n"
                     "starlinkDashboardURL=@Variant(\x01)\n")}) {
        writeRaw(content);
        Preferences prefs(path());
        EXPECT_EQ(prefs.barStyle(), BarStyle::stacked) << content.constData();
        EXPECT_EQ(prefs.units(), RateUnits::bits);
        EXPECT_FALSE(prefs.privacyMode());
        EXPECT_TRUE(prefs.publicIPLookup());
        EXPECT_EQ(prefs.interfaceOverride(), std::nullopt);
        EXPECT_EQ(prefs.starlinkDashboardURL(), std::nullopt);
        EXPECT_EQ(readRaw(), content); // reading leaves the file as it was
    }
    // A write elsewhere keeps the unusable override in the file.
    Preferences prefs(path());
    ASSERT_TRUE(prefs.setPrivacyMode(true));
    EXPECT_TRUE(readRaw().contains("interfaceOverride=eth0, eth1\n")) << readRaw().constData();
}

TEST_F(PreferencesFile, ExactStoredFormsAreReadAndWritten)
{
    writeRaw("[General]\nbarStyle=wide\nunits=bytes\nprivacyMode=true\npublicIPLookup=false\n"
             "interfaceOverride=wlp2s0\nstarlinkDashboardURL=https://dish.example/stats\n"
             "labelInk=dark\n");
    const Preferences read(path());
    EXPECT_EQ(read.barStyle(), BarStyle::wide);
    EXPECT_EQ(read.units(), RateUnits::bytes);
    EXPECT_TRUE(read.privacyMode());
    EXPECT_FALSE(read.publicIPLookup()); // a stored false is not mistaken for absence
    EXPECT_EQ(read.interfaceOverride(), QStringLiteral("wlp2s0"));
    EXPECT_EQ(read.starlinkDashboardURL(), QUrl(QStringLiteral("https://dish.example/stats")));
    EXPECT_EQ(read.labelInk(), LabelInk::dark);
    writeRaw("[General]\nstarlinkDashboardURL=https://other.example\n"); // read anew each time
    EXPECT_EQ(read.starlinkDashboardURL(), QUrl(QStringLiteral("https://other.example")));
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("corvane"))).removeRecursively());
    Preferences prefs(path()); // neither the file nor its directory exists yet
    EXPECT_TRUE(prefs.setPublicIPLookup(false));
    EXPECT_TRUE(prefs.setInterfaceOverride(QStringLiteral("br-1a2b3c")));
    EXPECT_EQ(readRaw(), "[General]\npublicIPLookup=false\ninterfaceOverride=br-1a2b3c\n");
    // A name the kernel would refuse means automatic, like none: the key goes.
    EXPECT_TRUE(prefs.setInterfaceOverride(QStringLiteral("a/b")));
    EXPECT_EQ(readRaw(), "[General]\npublicIPLookup=false\n");
}

// Saving touches only the saved key's line; everything else stays byte for byte.
TEST_F(PreferencesFile, SavingRewritesOnlyThatKeysLine)
{
    const std::tuple<QByteArray, std::function<bool(Preferences&)>, QByteArray> rows[] = {
        {"; mine\n[General]\nunits = bits\nodd line\nx=@Variant(\\0)\n[Other]\nunits=bits\n",
         [](Preferences& p) { return p.setUnits(RateUnits::bytes); },
         "; mine\n[General]\nunits=bytes\nodd line\nx=@Variant(\\0)\n[Other]\nunits=bits\n"},
        {"[General]\r\nx=1\r\n\r\n; other\r\n[Other]\r\na=1",
         [](Preferences& p) { return p.setBarStyle(BarStyle::wide); },
         "[General]\r\nx=1\r\nbarStyle=wide\r\n\r\n; other\r\n[Other]\r\na=1"},
        {"[Other]\na=1\r", [](Preferences& p) { return p.setPrivacyMode(true); },
         "[Other]\na=1\r\n[General]\nprivacyMode=true\n"},
        {"interfaceOverride=eth0\n[General]\ninterfaceOverride=eth1\n",
         [](Preferences& p) { return p.setInterfaceOverride(std::nullopt); }, "[General]\n"},
        // A mark further down stays inert: the removed first line leaves its line end.
        {"interfaceOverride=eth0\r\n\xef\xbb\xbfinterfaceOverride=eth1\n",
         [](Preferences& p) { return p.setInterfaceOverride(std::nullopt); },
         "\r\n\xef\xbb\xbfinterfaceOverride=eth1\n"},
        {"[General]\n", [](Preferences& p) { return p.setInterfaceOverride(u"@a,\"b\\"_s); },
         "[General]\ninterfaceOverride=\"@@a,\\\"b\\\\\"\n"}};
    for (const auto& [before, save, after] : rows) {
        writeRaw(before);
        Preferences prefs(path());
        EXPECT_TRUE(save(prefs)) << prefs.errorString().toStdString();
        EXPECT_EQ(readRaw(), after);
    }
    EXPECT_EQ(Preferences(path()).interfaceOverride(), u"@a,\"b\\"_s);
}

// A fifo, an oversized file and a path below a regular file (root ignores permissions) read
// as defaults and are never written; a refused write keeps its value for this run.
TEST_F(PreferencesFile, UnusableFilesReadAsDefaultsAndAreNeverWritten)
{
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("corvane"))));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    Preferences fifo(path()); // opening it for reading must not wait for a writer
    EXPECT_EQ(fifo.units(), RateUnits::bits);
    EXPECT_FALSE(fifo.setUnits(RateUnits::bytes));
    EXPECT_TRUE(fifo.errorString().endsWith(u": not a regular file"));
    EXPECT_FALSE(QFileInfo(path()).isFile());

    ASSERT_TRUE(QFile::remove(path()));
    const QByteArray large =
        "[General]\nunits=bytes\n" + QByteArray(Preferences::maxFileBytes, ';');
    writeRaw(large);
    Preferences prefs(path());
    EXPECT_EQ(prefs.units(), RateUnits::bits);
    EXPECT_FALSE(prefs.setBarStyle(BarStyle::wide));
    EXPECT_EQ(readRaw(), large);

    Preferences blocked(path() + QStringLiteral("/below/corvane.conf"));
    EXPECT_FALSE(blocked.setUnits(RateUnits::bytes));
    EXPECT_EQ(blocked.status(), QSettings::AccessError);
    EXPECT_EQ(blocked.units(), RateUnits::bytes);
}

TEST(PreferencesPath, FollowsXdgConfigHome)
{
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME"), oldHome = qgetenv("HOME");
    qputenv("HOME", "/home/tester");
    for (auto [xdg, want] : {std::pair{"/tmp/cfg", "/tmp/cfg/corvane/corvane.conf"},
                             {"relative/cfg", "/home/tester/.config/corvane/corvane.conf"},
                             {":/cfg", "/home/tester/.config/corvane/corvane.conf"},
                             {"", "/home/tester/.config/corvane/corvane.conf"}}) {
        qputenv("XDG_CONFIG_HOME", xdg);
        EXPECT_EQ(Preferences::defaultPath(), QString::fromLatin1(want)) << xdg;
    }
    qputenv("HOME", oldHome);
    oldXdg.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldXdg);
}

TEST(Validation, InterfaceNamesFollowTheKernelAndDashboardsNeedHttpsAndAHost)
{
    // The kernel refuses neither controls nor other scripts' spaces.
    for (const char* ok :
         {"enp3s0", "wlp2s0", "br-1a2b3c", "wg0", "EN0", "veth_0123456789", "...",
          "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", "a\x7f", "a\x01",
          "a\xe2\x80\x83"
          "b"})
        EXPECT_TRUE(Preferences::isValidInterfaceName(QString::fromUtf8(ok))) << ok;
    // 16 bytes (also as 8 characters), dot names, separators, spaces, and é's sibling à,
    // whose UTF-8 holds the byte 0xA0 that the kernel counts as a space.
    for (const char* bad :
         {"veth_01234567890", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9xx", "", ".",
          "..", "a/b", "a:b", "a b", "a\tb", "a\rb", "\xc3\xa0"})
        EXPECT_FALSE(Preferences::isValidInterfaceName(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(Preferences::isValidInterfaceName(QStringView(u"eth\0000", 5)));
    const QChar lone[] = {QChar(u'e'), QChar(0xd800)};
    EXPECT_FALSE(Preferences::isValidInterfaceName(QStringView(lone, 2)));

    // A dashboard address is https with a host.
    EXPECT_EQ(Preferences::validDashboardURL(u"  https://dish.example/x \n"_s),
              QUrl(u"https://dish.example/x"_s));
    EXPECT_EQ(Preferences::validDashboardURL(u"HTTPS://Dish.Example:8443/"_s),
              QUrl(u"https://dish.example:8443/"_s));
    for (const char* bad : {"http://dish.example", "https:///path", "https://", "dish.example",
                            "not a url", "https://dish example", ""})
        EXPECT_EQ(Preferences::validDashboardURL(QString::fromUtf8(bad)), std::nullopt) << bad;
    EXPECT_EQ(Preferences::validDashboardURL(std::nullopt), std::nullopt);
}
