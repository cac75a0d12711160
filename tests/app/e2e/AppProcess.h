#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <functional>

namespace corvane::testing {

// The real corvane binary, started with a clean environment: none of the user's demo or
// render switches, and whatever the test adds.
inline QProcessEnvironment appEnvironment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* n : {"CORVANE_DEMO", "CORVANE_DEMO_PRIVACY", "CORVANE_RENDER_LABEL",
                          "CORVANE_RENDER_PANEL", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QString::fromLatin1(n));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return env;
}

struct RunResult {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// `childSetup` runs in the child before the binary starts (async-signal-safe calls only).
inline RunResult runApp(const QProcessEnvironment& env, const QString& workDir = {},
                        std::function<void()> childSetup = {}, const QStringList& args = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (childSetup)
        p.setChildProcessModifier(childSetup);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(CORVANE_APP_PATH), args);
    RunResult r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

} // namespace corvane::testing
