#include "app/e2e/AppProcess.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace corvane::testing;
using namespace Qt::StringLiterals;

namespace {

class RenderRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        env = appEnvironment();
        // Preferences of the test's own; a stored wide style must not leak into the label.
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
        QDir().mkpath(dir.filePath(QStringLiteral("config/corvane")));
        QFile conf(dir.filePath(QStringLiteral("config/corvane/corvane.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write("[General]\nbarStyle=wide\n");
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    QProcessEnvironment env;
};

bool isBlack(QRgb c)
{
    return qRed(c) == 0 && qGreen(c) == 0 && qBlue(c) == 0 && qAlpha(c) == 255;
}

} // namespace

TEST_F(RenderRun, PanelIsWrittenFramedOnBlackAndReplacedOnTheSecondRun)
{
    env.insert(QStringLiteral("CORVANE_DEMO"), QStringLiteral("1"));
    env.insert(QStringLiteral("CORVANE_RENDER_PANEL"), path("panel.png"));
    for (int run = 0; run < 2; ++run) {
        if (run == 1) {
            QFile junk(path("panel.png"));
            ASSERT_TRUE(junk.open(QIODevice::WriteOnly | QIODevice::Truncate));
            junk.write(QByteArray(1 << 20, 'x')); // longer than any render: must be replaced
        }
        const RunResult r = runApp(env);
        ASSERT_EQ(r.status, 0) << r.err.toStdString();
        const QImage png(path("panel.png"));
        ASSERT_FALSE(png.isNull()) << "run " << run;
        EXPECT_EQ(png.width(), 576);
        EXPECT_GT(png.height(), 400);
        const QByteArray expected = "wrote " + path("panel.png").toUtf8() + " (" +
                                    QByteArray::number(png.width()) + "x" +
                                    QByteArray::number(png.height()) + ")\n";
        EXPECT_EQ(r.out, expected);
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        for (QPoint corner : {QPoint(0, 0), QPoint(575, 0), QPoint(0, png.height() - 1),
                              QPoint(575, png.height() - 1), QPoint(25, 25)})
            EXPECT_TRUE(isBlack(png.pixel(corner))) << corner.x() << ',' << corner.y();
        EXPECT_FALSE(isBlack(png.pixel(288, 60))) << "the panel itself is not black";
        EXPECT_LT(QFile(path("panel.png")).size(), 1 << 20);
    }
}

TEST_F(RenderRun, LabelWinsWhenBothSwitchesAreSetAndIsStackedWhiteOnDark)
{
    env.insert(QStringLiteral("CORVANE_DEMO"), QStringLiteral("1"));
    env.insert(QStringLiteral("CORVANE_RENDER_LABEL"), path("label.png"));
    env.insert(QStringLiteral("CORVANE_RENDER_PANEL"), path("panel.png"));
    // FIFOs in place of the preferences and the autostart entry are read as absent, at once.
    const QString conf = path("config/corvane/corvane.conf");
    ASSERT_TRUE(QFile::remove(conf) && QDir().mkpath(path("config/autostart")));
    for (const QString& fifo : {conf, path("config/autostart/io.github.corvane.Corvane.desktop")})
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const RunResult r = runApp(env);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("panel.png")));
    const QImage png(path("label.png"));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.height(), (21 + 4) * 4);
    EXPECT_EQ(png.width() % 4, 0);
    EXPECT_GT(png.width(), 40 * 4);
    EXPECT_EQ(r.out, "wrote " + path("label.png").toUtf8() + " (" +
                         QByteArray::number(png.width()) + "x" + QByteArray::number(png.height()) +
                         ")\n");
    EXPECT_EQ(QColor(png.pixel(0, 0)), QColor(28, 28, 28));
    int white = 0;
    for (int y = 0; y < png.height(); ++y)
        for (int x = 0; x < png.width(); ++x)
            white += qGray(png.pixel(x, y)) > 240;
    EXPECT_GT(white, 200) << "white text on the strip";
}

TEST_F(RenderRun, SwitchesOutsideDemoModeAreRefused)
{
    env.insert(QStringLiteral("CORVANE_RENDER_LABEL"), QString());
    RunResult r = runApp(env);
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.isEmpty());
    EXPECT_TRUE(r.out.isEmpty());

    env.remove(QStringLiteral("CORVANE_RENDER_LABEL"));
    env.insert(QStringLiteral("CORVANE_RENDER_PANEL"), QString());
    env.insert(QStringLiteral("CORVANE_DEMO"), QStringLiteral("true"));
    r = runApp(env);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "CORVANE_RENDER_PANEL requires CORVANE_DEMO=1 (never render live data)\n");
    EXPECT_TRUE(r.out.isEmpty());
}

TEST_F(RenderRun, WriteFailuresSayWhyExitOneAndKeepTheOldFile)
{
    env.insert(QStringLiteral("CORVANE_DEMO"), QStringLiteral("1"));
    QFile old(path("old.png"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
    old.close();
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0600), 0);
    for (const QString& target : {path("missing/dir/panel.png"), QString(), u"/dev/full"_s,
                                  path("old.png/panel.png"), path("fifo")}) {
        env.insert(QStringLiteral("CORVANE_RENDER_PANEL"), target);
        const RunResult r = runApp(env);
        EXPECT_EQ(r.status, 1) << target.toStdString();
        EXPECT_TRUE(r.err.startsWith("write failed: ") && r.err.endsWith('\n')) << r.err.data();
        EXPECT_TRUE(r.out.isEmpty());
    }
    // A write cut short, here by a file size limit, leaves the old file whole.
    env.insert(QStringLiteral("CORVANE_RENDER_PANEL"), path("old.png"));
    RunResult r = runApp(env, {}, [] {
        const rlimit small{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::signal(SIGXFSZ, SIG_IGN);
    });
    EXPECT_EQ(r.status, 1) << r.err.data();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "old");

    // Relative paths resolve against the working directory and are echoed as given.
    env.remove(QStringLiteral("CORVANE_RENDER_PANEL"));
    env.insert(QStringLiteral("CORVANE_RENDER_LABEL"), QStringLiteral("rel.png"));
    r = runApp(env, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith("wrote rel.png ("));
    EXPECT_TRUE(QFile::exists(path("rel.png")));
}
