#include "platform/autostart/XdgAutostart.h"

#include "platform/RegularFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool isAbsolute(const QString& path)
{
    return path.startsWith(QLatin1Char('/'));
}

// Like mkdir -p, but keeps the reason when it fails. New directories get 0700, as
// the base-directory rules ask for the user's configuration directories.
std::optional<QString> makeDirectories(const QString& path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (const QString& part : parts) {
        prefix += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(prefix);
        if (::mkdir(native.constData(), 0700) == 0)
            continue;
        int err = errno;
        if (err == EEXIST) {
            struct stat st {};
            if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            err = ENOTDIR;
        }
        return QCoreApplication::translate("XdgAutostart", "Cannot create %1: %2")
            .arg(prefix, errnoText(err));
    }
    return std::nullopt;
}

std::optional<QString> writeAtomically(const QString& path, const QByteArray& text)
{
    if (auto failed = makeDirectories(QFileInfo(path).absolutePath()))
        return failed;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return QCoreApplication::translate("XdgAutostart", "Cannot write %1: %2")
            .arg(path, file.errorString());
    return std::nullopt;
}

std::optional<bool> parseBoolean(const QByteArray& value)
{
    if (value == "true" || value == "1")
        return true;
    if (value == "false" || value == "0")
        return false;
    return std::nullopt;
}

// Reads only what decides whether a session starts the entry. A file that cannot be
// read or has no [Desktop Entry] group is not a valid entry and starts nothing.
bool entryEnabled(const QString& path)
{
    // Entries are a few lines; a FIFO, device or huge file in their place starts nothing.
    constexpr std::size_t maxEntryBytes = 64 * 1024;
    const regular_file::Read entry =
        regular_file::read(AT_FDCWD, QFile::encodeName(path).constData(), maxEntryBytes);
    if (entry.status != regular_file::Read::ok)
        return false;
    bool inMainGroup = false;
    bool sawMainGroup = false;
    bool hidden = false;
    bool gnomeEnabled = true;
    for (const QByteArray& raw : QByteArray::fromStdString(entry.bytes).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            sawMainGroup = sawMainGroup || inMainGroup;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (!inMainGroup || eq < 0)
            continue;
        const QByteArray key = line.left(eq).trimmed();
        const auto value = parseBoolean(line.mid(eq + 1).trimmed());
        if (key == "Hidden" && value)
            hidden = *value;
        else if (key == "X-GNOME-Autostart-enabled" && value)
            gnomeEnabled = *value;
    }
    return sawMainGroup && !hidden && gnomeEnabled;
}

} // namespace

XdgAutostart::XdgAutostart(QString configHome, QStringList configDirs, QString program)
    : configHome_(std::move(configHome)), configDirs_(std::move(configDirs)),
      program_(std::move(program))
{}

QString XdgAutostart::userEntryPath() const
{
    return configHome_ + QStringLiteral("/autostart/") + QLatin1String(fileName);
}

std::optional<QString> XdgAutostart::systemEntryPath() const
{
    for (const QString& dir : configDirs_) {
        QString path = dir + QStringLiteral("/autostart/") + QLatin1String(fileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return std::nullopt;
}

bool XdgAutostart::isEnabled() const
{
    const QString user = userEntryPath();
    if (QFileInfo::exists(user))
        return entryEnabled(user);
    const auto system = systemEntryPath();
    return system && entryEnabled(*system);
}

std::optional<QString> XdgAutostart::install() const
{
    const QString program = program_.isEmpty() ? QCoreApplication::applicationFilePath() : program_;
    if (program.isEmpty())
        return QCoreApplication::translate("XdgAutostart", "The program's own path is unknown");
    if (!isAbsolute(program))
        return QCoreApplication::translate("XdgAutostart", "The program's path is not absolute: %1")
            .arg(program);
    // Exec= cannot carry them, and escaping would make a different path of it.
    for (const QChar c : program) {
        if (c.category() == QChar::Other_Control)
            return QCoreApplication::translate("XdgAutostart",
                                               "The program's path contains control characters");
    }
    return writeAtomically(userEntryPath(), entryText(program));
}

std::optional<QString> XdgAutostart::uninstall() const
{
    const auto system = systemEntryPath();
    if (system && entryEnabled(*system)) {
        // Deleting our entry would let the system one start the program again.
        QByteArray text("[Desktop Entry]\nType=Application\nName=");
        text += entryName;
        text += "\nHidden=true\n";
        return writeAtomically(userEntryPath(), text);
    }
    const QByteArray path = QFile::encodeName(userEntryPath());
    if (::unlink(path.constData()) == 0)
        return std::nullopt;
    const int err = errno;
    if (err == ENOENT)
        return std::nullopt;
    return QCoreApplication::translate("XdgAutostart", "Cannot remove %1: %2")
        .arg(userEntryPath(), errnoText(err));
}

std::optional<QString> XdgAutostart::migrateLegacyEntry() const
{
    const QString legacy =
        configHome_ + QStringLiteral("/autostart/") + QLatin1String(legacyFileName);
    // Anything but a regular file there is not ours to touch.
    if (!QFileInfo(legacy).isFile() || QFileInfo(legacy).isSymLink())
        return std::nullopt;
    if (entryEnabled(legacy) && !QFileInfo::exists(userEntryPath())) {
        if (auto failed = install())
            return failed;
    }
    if (::unlink(QFile::encodeName(legacy).constData()) == 0)
        return std::nullopt;
    const int err = errno;
    if (err == ENOENT)
        return std::nullopt;
    return QCoreApplication::translate("XdgAutostart", "Cannot remove %1: %2")
        .arg(legacy, errnoText(err));
}

QString XdgAutostart::quoteExecArgument(const QString& arg)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool quote = arg.isEmpty();
    for (const QChar c : arg)
        quote = quote || reserved.contains(c);

    QString out;
    if (quote)
        out += QLatin1Char('"');
    for (const QChar c : arg) {
        if (c == QLatin1Char('%'))
            out += QLatin1String("%%");
        else if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') ||
                           c == QLatin1Char('$') || c == QLatin1Char('\\')))
            out += QLatin1Char('\\') + c;
        else
            out += c;
    }
    if (quote)
        out += QLatin1Char('"');
    return out;
}

QString XdgAutostart::escapeValue(const QString& value)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char(' ') && i == 0)
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

QByteArray XdgAutostart::entryText(const QString& program)
{
    QByteArray text("[Desktop Entry]\nType=Application\nName=");
    text += entryName;
    text += "\nExec=";
    // The packaged program is started from the PATH, so an upgrade keeps the entry valid.
    const QString exec =
        program == QLatin1String("/usr/bin/corvane") ? QStringLiteral("corvane") : program;
    text += escapeValue(quoteExecArgument(exec)).toUtf8();
    text += '\n';
    return text;
}

} // namespace corvane
