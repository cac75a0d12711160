#pragma once

#include <QString>
#include <QStringList>

// The base-directory rules, in one place for the preferences, the autostart entry and the
// tray's desktop settings.
namespace corvane::xdg {

// $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or not an absolute path.
QString configHome();
// $XDG_CONFIG_DIRS (absolute entries only), or /etc/xdg.
QStringList configDirs();

} // namespace corvane::xdg
