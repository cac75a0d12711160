#include "app/e2e/AppProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace corvane::testing;

// Each option as a user would type it: which stream gets the answer, and the exit status.
TEST(CommandLine, OptionsAnswerOnTheRightStreamWithTheRightStatus)
{
    QTemporaryDir dir;
    QProcessEnvironment env = appEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    const QByteArray confPath = dir.path().toUtf8() + "/corvane/corvane.conf";
    const QByteArray version = "corvane " CORVANE_VERSION "\n";
    enum Stream { out, err };
    const struct {
        QStringList args;
        int status;
        Stream stream;
        QByteArray startsWith;
    } rows[] = {
        {{"--help"}, 0, out, "Usage: corvane"},
        {{"-h"}, 0, out, "Usage: corvane"},
        {{"-platform", "offscreen", "--help"}, 0, out, "Usage: corvane"},
        {{"--version"}, 0, out, version},
        {{"-v", "--bogus"}, 0, out, version},
        {{"--bogus"}, 2, err, "Usage: corvane"},
        {{"stray"}, 2, err, "Usage: corvane"},
        {{"-platform"}, 2, err, "Usage: corvane"}, // the value is missing
    };
    for (const auto& row : rows) {
        const std::string what = row.args.join(' ').toStdString();
        const RunResult r = runApp(env, {}, {}, row.args);
        EXPECT_EQ(r.status, row.status) << what;
        const QByteArray& text = row.stream == out ? r.out : r.err;
        const QByteArray& other = row.stream == out ? r.err : r.out;
        EXPECT_TRUE(text.startsWith(row.startsWith)) << what << ": " << text.toStdString();
        EXPECT_TRUE(other.isEmpty()) << what << ": " << other.toStdString();
        if (row.startsWith == version)
            EXPECT_EQ(text, version) << what;
        else {
            for (const QByteArray& listed :
                 {QByteArray("CORVANE_DEMO=1"), QByteArray("CORVANE_RENDER_LABEL="), confPath})
                EXPECT_TRUE(text.contains(listed)) << what << " lacks " << listed.toStdString();
        }
    }

    for (const char* n : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.remove(QString::fromLatin1(n));
    env.insert(QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8"));
    const RunResult german = runApp(env, {}, {}, {"--help"});
    EXPECT_TRUE(german.out.startsWith("Aufruf: corvane")) << "the system language is followed";
}

// Qt's display options pass through, and the render switches still run on their own.
TEST(CommandLine, QtOptionsLeaveTheRenderSwitchesWorking)
{
    QTemporaryDir dir;
    QProcessEnvironment env = appEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    env.insert(QStringLiteral("CORVANE_DEMO"), QStringLiteral("1"));
    const QString png = dir.filePath(QStringLiteral("label.png"));
    env.insert(QStringLiteral("CORVANE_RENDER_LABEL"), png);
    const RunResult r = runApp(env, {}, {}, {"-platform", "offscreen"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("wrote " + png.toUtf8())) << r.out.toStdString();
}
