#include "app/CommandLine.h"

#include "model/Preferences.h"

#include <QCoreApplication>
#include <QSet>
#include <cstdio>

namespace corvane::CommandLine {

namespace {

// QApplication takes these, with their value, out of the arguments itself; a session
// manager restarting the program passes -session.
const QSet<QString>& qtOptionsWithValue()
{
    static const QSet<QString> names{QStringLiteral("platform"), QStringLiteral("display"),
                                     QStringLiteral("session"), QStringLiteral("style"),
                                     QStringLiteral("platformtheme")};
    return names;
}

} // namespace

Request parse(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == u"--help" || arg == u"-h")
            return Request::help;
        if (arg == u"--version" || arg == u"-v")
            return Request::version;
        QString name = arg;
        if (name.startsWith(u"--"))
            name.remove(0, 1);
        if (name.startsWith(u'-') && qtOptionsWithValue().contains(name.mid(1)) &&
            i + 1 < arguments.size()) {
            ++i;
            continue;
        }
        return Request::unknown;
    }
    return Request::run;
}

QString helpText()
{
    QString text = QCoreApplication::translate(
        "CommandLine",
        "Usage: corvane [--help | --version]\n"
        "\n"
        "Shows the current download and upload rate in the system tray. Starting it\n"
        "again while it runs opens the panel of the running instance.\n"
        "\n"
        "Options:\n"
        "  -h, --help     show this help and exit\n"
        "  -v, --version  show the version and exit\n"
        "  Qt's display options such as -platform NAME are passed on.\n"
        "\n"
        "Environment:\n"
        "  CORVANE_DEMO=1               show made-up demo data instead of live rates\n"
        "  CORVANE_DEMO_PRIVACY=1       with demo data, start in privacy mode\n"
        "  CORVANE_RENDER_PANEL=FILE    with CORVANE_DEMO=1, draw the panel into the PNG\n"
        "                               file FILE and exit\n"
        "  CORVANE_RENDER_LABEL=FILE    with CORVANE_DEMO=1, draw the tray label into the\n"
        "                               PNG file FILE and exit\n"
        "\n"
        "Configuration file:\n"
        "  %1\n");
    return text.arg(Preferences::defaultPath());
}

QString versionText()
{
    return QStringLiteral("corvane %1\n").arg(QStringLiteral(CORVANE_VERSION));
}

std::optional<int> answer(Request request)
{
    switch (request) {
    case Request::run:
        return std::nullopt;
    case Request::help:
        std::fputs(helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case Request::version:
        std::fputs(versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case Request::unknown:
        std::fputs(helpText().toLocal8Bit().constData(), stderr);
        return 2;
    }
    return 2;
}

} // namespace corvane::CommandLine
