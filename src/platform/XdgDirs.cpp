#include "platform/XdgDirs.h"

#include <QDir>

namespace corvane::xdg {

namespace {

// Relative values are invalid by the base-directory rules and are ignored. Not
// QDir::isAbsolutePath(), which also takes Qt resource paths (":/...").
bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/'));
}

} // namespace

QString configHome()
{
    const QString env = qEnvironmentVariable("XDG_CONFIG_HOME");
    return isAbsolute(env) ? env : QDir::homePath() + QStringLiteral("/.config");
}

QStringList configDirs()
{
    QStringList dirs;
    for (const QString& dir :
         qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (isAbsolute(dir))
            dirs << dir;
    }
    if (dirs.isEmpty())
        dirs << QStringLiteral("/etc/xdg");
    return dirs;
}

} // namespace corvane::xdg
