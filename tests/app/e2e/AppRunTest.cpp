#include "app/SingleInstance.h"
#include "support/FakeStatusNotifierWatcher.h"
#include "support/PrivateBus.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace corvane;
using namespace corvane::testing;
using namespace Qt::StringLiterals;

namespace {

// The real binary as a user runs it: offscreen, none of the user's switches or
// buses, the test's own preferences, which pin the measured device to loopback
// and ask for the wide style.
class AppRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid() && bus.isRunning());
        for (const char* n : {"CORVANE_DEMO", "CORVANE_DEMO_PRIVACY", "CORVANE_RENDER_LABEL",
                              "CORVANE_RENDER_PANEL", "DISPLAY", "WAYLAND_DISPLAY", "LC_ALL",
                              "LC_MESSAGES", "LANGUAGE"})
            env.remove(QString::fromLatin1(n));
        set(env, {u"QT_QPA_PLATFORM=offscreen"_s, u"LANG=C.UTF-8"_s, u"XDG_CONFIG_HOME=%1/config"_s,
                  u"XDG_RUNTIME_DIR=%1"_s, "DBUS_SESSION_BUS_ADDRESS=" + bus.address(),
                  "DBUS_SYSTEM_BUS_ADDRESS=" + bus.address()});
        ASSERT_TRUE(QDir().mkpath(path(u"config/corvane"_s)));
        QFile conf(path(u"config/corvane/corvane.conf"_s));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\ninterfaceOverride=lo\nbarStyle=wide\n");
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    // NAME=VALUE settings; %1 stands for the test's directory.
    void set(QProcessEnvironment& e, const QStringList& settings) const
    {
        for (const QString& s : settings)
            e.insert(s.section(u'=', 0, 0), s.section(u'=', 1).replace(u"%1"_s, dir.path()));
    }

    QTemporaryDir dir;
    PrivateBus bus;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// Each row as a user would type it, with the running instance held by the test.
TEST_F(AppRun, OptionsRendersAndASecondStartAnswerOnTheRightStream)
{
    auto first = std::make_unique<SingleInstance>(bus.connect(u"first"_s));
    ASSERT_EQ(first->claim(), SingleInstance::Role::primary);
    QSignalSpy activated(first.get(), &SingleInstance::activateRequested);
    QFile old(path(u"old.png"_s)), junk(path(u"panel.png"_s));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(1 << 20, 'x')));
    old.close();
    junk.close();
    ASSERT_TRUE(QDir().mkpath(path(u"fifos/corvane"_s)) &&
                QDir().mkpath(path(u"fifos/autostart"_s)));
    for (const char* fifo : {"fifo", "fifos/corvane/corvane.conf",
                             "fifos/autostart/io.github.corvane.Corvane.desktop"})
        ASSERT_EQ(::mkfifo(QFile::encodeName(path(QString::fromLatin1(fifo))).constData(), 0600),
                  0);
    const auto limitFileSize = [] {
        const rlimit small{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::signal(SIGXFSZ, SIG_IGN);
    };

    // Patterns: %1 is the test's directory, %2 the version; empty means no output
    // at all.
    const char* usage = "^Usage: corvane.*CORVANE_DEMO=1.*CORVANE_RENDER_LABEL=.*"
                        "%1/config/corvane/corvane\\.conf";
    const char* version = "^corvane %2\n$";
    const char* failed = "^write failed: .+\n$";
    const auto render = [](const char* to) {
        return QStringList{u"CORVANE_DEMO=1"_s, u"CORVANE_RENDER_PANEL="_s + QLatin1String(to)};
    };
    const struct {
        QStringList args;
        QStringList env; // NAME=VALUE, %1 is the test's directory
        int status;
        const char *out, *err;
        std::function<void()> child = {};
    } rows[] = {
        {{"--help"}, {}, 0, usage, ""},
        {{"-h"}, {}, 0, usage, ""},
        {{"--version"}, {}, 0, version, ""},
        {{"-v", "--bogus"}, {}, 0, version, ""},
        {{"--bogus"}, {}, 2, "", usage},
        {{"stray"}, {}, 2, "", usage},
        {{"-platform"}, {}, 2, "", usage}, // the value is missing
        {{"--help"}, {"LANG=de_DE.UTF-8"}, 0, "^Aufruf: corvane", ""},
        // Renders: demo data only; the old file is replaced whole.
        {{}, render("%1/panel.png"), 0, "^wrote %1/panel\\.png \\(576x\\d+\\)\n$", ""},
        // The label wins; relative paths are echoed as given; FIFOs in place of
        // the preferences and the autostart entry are read as absent, at once.
        {{"-platform", "offscreen"},
         render("%1/no.png") +
             QStringList{"CORVANE_RENDER_LABEL=label.png", "XDG_CONFIG_HOME=%1/fifos"},
         0,
         "^wrote label\\.png \\(\\d+x100\\)\n$",
         ""},
        {{}, {"CORVANE_RENDER_LABEL="}, 2, "", ""},
        {{},
         {"CORVANE_DEMO=true", "CORVANE_RENDER_PANEL="},
         2,
         "",
         "^CORVANE_RENDER_PANEL requires CORVANE_DEMO=1 \\(never render live "
         "data\\)\n$"},
        {{}, render(""), 1, "", failed},
        {{}, render("/dev/full"), 1, "", failed},
        {{}, render("%1/old.png/panel.png"), 1, "", failed},
        {{}, render("%1/fifo"), 1, "", failed},
        {{}, render("%1/old.png"), 1, "", failed, limitFileSize},
        // Not a render: the running instance is asked to open its panel.
        {{}, {}, 0, "^Corvane is already running; its panel was opened\\.\n$", ""},
    };
    const auto matches = [&](const char* pattern, const QByteArray& text) {
        const QString p = QString::fromLatin1(pattern)
                              .replace(u"%1"_s, QRegularExpression::escape(dir.path()))
                              .replace(u"%2"_s, QRegularExpression::escape(CORVANE_VERSION));
        return *pattern ? QRegularExpression(p, QRegularExpression::DotMatchesEverythingOption)
                              .match(QString::fromUtf8(text))
                              .hasMatch()
                        : text.isEmpty();
    };
    for (const auto& row : rows) {
        QProcessEnvironment e = env;
        set(e, row.env);
        const std::string what = (row.args + row.env).join(u' ').toStdString();
        QProcess p; // the event loop runs meanwhile, so the test can answer over the bus
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(dir.path());
        if (row.child)
            p.setChildProcessModifier(row.child);
        QSignalSpy finished(&p, &QProcess::finished);
        p.start(QStringLiteral(CORVANE_APP_PATH), row.args);
        ASSERT_TRUE(finished.wait(60000)) << what;
        EXPECT_EQ(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, row.status) << what;
        const QByteArray out = p.readAllStandardOutput(), err = p.readAllStandardError();
        EXPECT_TRUE(matches(row.out, out)) << what << "\nstdout: " << out.toStdString();
        EXPECT_TRUE(matches(row.err, err)) << what << "\nstderr: " << err.toStdString();
    }
    EXPECT_EQ(activated.size(), 1) << "only the plain start defers to the running instance";
    first.reset(); // quitting gives the name back
    EXPECT_EQ(SingleInstance(bus.connect(u"next"_s)).claim(), SingleInstance::Role::primary);

    // The demo renders are the documentation's pictures, pixel for pixel (they need only the
    // DejaVu fonts); a failed write leaves the old file whole.
    for (const char* name : {"panel.png", "label.png"}) {
        const QImage image(path(QLatin1String(name)));
        EXPECT_TRUE(image == QImage(QStringLiteral(CORVANE_SOURCE_DIR "/docs/") + name))
            << name << ": after a change to its look, render docs/" << name << " anew";
    }
    EXPECT_FALSE(QFile::exists(path(u"no.png"_s)));
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");
}

TEST_F(AppRun, LoopbackTrafficShowsUpInTheTrayLabel)
{
    FakeStatusNotifierWatcher watcher(bus.address());
    ASSERT_TRUE(watcher.start());
    QSignalSpy registered(&watcher, &FakeStatusNotifierWatcher::itemRegistered);
    QProcess app;
    app.setProcessEnvironment(env);
    app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    app.start(QStringLiteral(CORVANE_APP_PATH), {});
    ASSERT_TRUE(registered.wait(15000)) << "the app never registered its item";
    const QString service = registered.first().first().toString();

    // About 25 MB/s of datagrams to a closed loopback port: plainly visible, no strain, and
    // nothing queues however slow the run.
    QUdpSocket udp;
    QTimer pump;
    pump.callOnTimeout([&] {
        for (int i = 0; i < 4; ++i)
            udp.writeDatagram(QByteArray(60000, 'x'), QHostAddress::LocalHost, 9);
    });
    pump.start(10);
    QString text;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            text = watcher.itemProperty(service, u"XAyatanaLabel"_s, QDBus::Block).toString();
            return text.contains(u"Mb") || text.contains(u"Gb");
        },
        20000))
        << "last label: " << text.toStdString();
    app.terminate();
    EXPECT_TRUE(app.waitForFinished(5000));
}

} // namespace
