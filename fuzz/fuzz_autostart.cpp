// The autostart entry for a hostile program path: the Exec line, read back by the Desktop
// Entry rules (string escapes first, then Exec quoting and %%), must give the path whole.
#include "platform/autostart/XdgAutostart.h"

#include <QString>
#include <cstdlib>
#include <optional>

using namespace corvane;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The value of `Exec=` with the string escapes \s \n \t \r \\ undone.
std::optional<QString> execValue(const QString& entry)
{
    const QStringList lines = entry.split(u'\n');
    for (const QString& line : lines) {
        if (!line.startsWith(u"Exec="))
            continue;
        QString out;
        for (qsizetype i = 5; i < line.size(); ++i) {
            if (line[i] != u'\\') {
                out += line[i];
                continue;
            }
            if (++i == line.size())
                return std::nullopt;
            const char16_t e = line[i].unicode();
            const char16_t map[] = {u's',  u' ', u'n',  u'\n', u't',
                                    u'\t', u'r', u'\r', u'\\', u'\\'};
            bool known = false;
            for (size_t k = 0; k < std::size(map); k += 2)
                if (e == map[k]) {
                    out += QChar(map[k + 1]);
                    known = true;
                }
            if (!known)
                return std::nullopt;
        }
        return out;
    }
    return std::nullopt;
}

// Exec's own rules: arguments split on unquoted spaces; inside double quotes a backslash
// escapes " ` $ \; reserved characters outside quotes are an error; %% is a literal %.
std::optional<QStringList> execArguments(const QString& exec)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QStringList args;
    QString current;
    bool inArg = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == u' ') {
            if (inArg)
                args << current;
            current.clear();
            inArg = false;
        } else if (c == u'"') {
            inArg = true;
            for (++i;; ++i) {
                if (i >= exec.size())
                    return std::nullopt;
                if (exec[i] == u'"')
                    break;
                if (exec[i] == u'\\') {
                    if (++i >= exec.size() || !QStringLiteral("\"`$\\").contains(exec[i]))
                        return std::nullopt;
                }
                if (exec[i] == u'%' && (++i >= exec.size() || exec[i] != u'%'))
                    return std::nullopt;
                current += exec[i];
            }
        } else if (reserved.contains(c)) {
            return std::nullopt;
        } else if (c == u'%') {
            if (++i >= exec.size() || exec[i] != u'%')
                return std::nullopt;
            current += u'%';
            inArg = true;
        } else {
            current += c;
            inArg = true;
        }
    }
    if (inArg)
        args << current;
    return args;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    const QString program = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QChar c : program)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return 0; // refused before an entry is written
    const QString entry = QString::fromUtf8(XdgAutostart::entryText(program));
    check(entry.count(u'\n') == 4); // the path cannot add lines
    const auto exec = execValue(entry);
    check(exec.has_value());
    const auto args = execArguments(*exec);
    const QString expected =
        program == QLatin1String("/usr/bin/corvane") ? QStringLiteral("corvane") : program;
    check(args && *args == QStringList{expected});
    return 0;
}
