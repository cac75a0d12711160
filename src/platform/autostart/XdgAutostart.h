#pragma once

#include "platform/XdgDirs.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace corvane {

// The program's XDG autostart entry. The user's entry in
// $XDG_CONFIG_HOME/autostart overrides one of the same name in the system
// directories ($XDG_CONFIG_DIRS/autostart); the first one found is the one a session
// runs. All operations are synchronous file operations meant for the main thread.
class XdgAutostart {
public:
    static constexpr const char* fileName = "io.github.corvane.Corvane.desktop";
    // The name used before the program had an application id.
    static constexpr const char* legacyFileName = "corvane.desktop";
    static constexpr const char* entryName = "Corvane";

    // `program` is the absolute path written to Exec; empty means the running binary
    // (QCoreApplication::applicationFilePath(), read when the entry is written).
    explicit XdgAutostart(QString configHome = xdg::configHome(),
                          QStringList configDirs = xdg::configDirs(), QString program = {});

    QString userEntryPath() const;

    // True when the entry that applies is a regular file that can be read and is not
    // switched off (Hidden=true, or X-GNOME-Autostart-enabled=false).
    bool isEnabled() const;

    // Write the user entry atomically. None on success, else a readable reason; a program
    // path with control characters is refused.
    std::optional<QString> install() const;
    // Remove the user entry; if a system entry of the same name would then apply,
    // hide it with a user entry instead. An absent entry is success.
    std::optional<QString> uninstall() const;

    // Carries a user entry under the legacy name over to the current one: an enabled one is
    // written anew for this program, a switched-off one is dropped. None on success or when
    // there is nothing to carry over, else a readable reason.
    std::optional<QString> migrateLegacyEntry() const;

    // Exec quoting for one argument, including %% for a literal percent sign.
    static QString quoteExecArgument(const QString& arg);
    // The escaping every string value in a desktop file gets.
    static QString escapeValue(const QString& value);
    // The whole entry for the given program. The packaged /usr/bin/corvane is started by
    // name from the PATH, so the entry survives the package's files moving.
    static QByteArray entryText(const QString& program);

private:
    std::optional<QString> systemEntryPath() const;

    QString configHome_;
    QStringList configDirs_;
    QString program_;
};

} // namespace corvane
