#include "model/Preferences.h"

#include "measure/InterfaceName.h"
#include "platform/RegularFile.h"
#include "platform/XdgDirs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>
#include <cctype>
#include <cstring>
#include <fcntl.h>

namespace corvane {

QString Preferences::defaultPath()
{
    return xdg::configHome() + QStringLiteral("/corvane/corvane.conf");
}

namespace {

constexpr const char* byteOrderMark = "\xef\xbb\xbf";

// One line of the file, kept byte for byte.
struct IniLine {
    QByteArray text;   // without its line end
    QByteArray ending; // "\n", "\r\n", or empty for a last line without one
    bool header = false;
    bool general = false; // in [General], or before any section
    QByteArray key;       // of a key=value line in the general part
    QByteArray value;     // trimmed, as written
};

QList<IniLine> parse(const QByteArray& content)
{
    QList<IniLine> lines;
    bool general = true;
    for (qsizetype at = 0; at < content.size();) {
        qsizetype end = content.indexOf('\n', at);
        IniLine line;
        line.text = content.mid(at, end < 0 ? -1 : end - at);
        at = end < 0 ? content.size() : end + 1;
        if (end >= 0)
            line.ending = "\n";
        if (line.text.endsWith('\r')) {
            line.text.chop(1);
            line.ending.prepend('\r');
        }
        QByteArray t = line.text.trimmed();
        if (lines.isEmpty() && t.startsWith(byteOrderMark))
            t = t.mid(3).trimmed();
        if (t.startsWith('[')) {
            const qsizetype close = t.indexOf(']');
            general = QLatin1StringView(t.mid(1, close < 0 ? -1 : close - 1))
                          .compare(QLatin1StringView("General"), Qt::CaseInsensitive) == 0;
            line.header = true;
        } else if (!t.startsWith(';') && !t.startsWith('#') && general) {
            const qsizetype eq = t.indexOf('=');
            if (eq > 0) {
                line.key = t.left(eq).trimmed();
                line.value = t.mid(eq + 1).trimmed();
            }
        }
        line.general = general;
        lines.append(line);
    }
    return lines;
}

QByteArray join(const QList<IniLine>& lines)
{
    QByteArray out;
    for (const IniLine& l : lines)
        out += l.text + l.ending;
    return out;
}

// `key` set to `raw` (or removed) with every other line left as it is. A key that is there
// has its effective (last) line replaced; one that is not goes after the last key of the
// last [General] section, or into a new [General] section at the end.
QByteArray patched(const QByteArray& content, const QByteArray& key,
                   const std::optional<QByteArray>& raw)
{
    QList<IniLine> lines = parse(content);
    if (!raw) {
        const bool firstGoes = !lines.isEmpty() && lines.first().key == key;
        const QByteArray firstEnding = firstGoes ? lines.first().ending : QByteArray();
        lines.removeIf([&](const IniLine& l) { return l.key == key; });
        // A byte order mark is skipped only at the very start of the file: a line further
        // down that opens with one must not move up and turn into a setting.
        if (firstGoes && !lines.isEmpty() &&
            lines.first().text.trimmed().startsWith(byteOrderMark)) {
            IniLine blank;
            blank.ending = firstEnding;
            lines.prepend(blank);
        }
        return join(lines);
    }
    const QByteArray text = key + '=' + *raw;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (lines[i].key == key) {
            lines[i].text = text;
            return join(lines);
        }
    }
    qsizetype after = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].header)
            after = lines[i].general ? i : after;
        else if (after >= 0 && lines[i].general && !lines[i].key.isEmpty())
            after = i;
    }
    if (after < 0) {
        // A last line may end in a lone '\r': the new lines must not be glued onto it.
        if (!lines.isEmpty() && !lines.last().ending.endsWith('\n'))
            lines.last().ending += '\n';
        IniLine header;
        header.text = "[General]";
        header.ending = "\n";
        lines.append(header);
        after = lines.size() - 1;
    }
    IniLine added;
    added.text = text;
    if (!lines[after].ending.endsWith('\n'))
        lines[after].ending += '\n';
    added.ending = lines[after].ending;
    lines.insert(after + 1, added);
    return join(lines);
}

// The text a raw value stands for, read the way QSettings wrote and read it: plain or in
// double quotes, with backslash escapes. Lists ("a, b"), typed values ("@Variant(...)"),
// broken quoting and unknown escapes are not texts.
std::optional<QString> decode(const QByteArray& raw)
{
    const bool quoted = raw.startsWith('"');
    if (!quoted && raw.contains(','))
        return std::nullopt;
    QString out;
    QByteArray run; // UTF-8 bytes not yet decoded
    const auto flush = [&] {
        out += QString::fromUtf8(run);
        run.clear();
    };
    const auto finish = [&]() -> std::optional<QString> {
        flush();
        // "@@" starts a text that begins with '@'; any other '@' starts a typed value.
        if (!out.startsWith(u'@'))
            return out;
        if (out.startsWith(u"@@"))
            return out.mid(1);
        return std::nullopt;
    };
    for (qsizetype i = quoted ? 1 : 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '"') {
            if (!quoted || i != raw.size() - 1)
                return std::nullopt;
            return finish();
        }
        if (c != '\\') {
            run += c;
            continue;
        }
        if (++i == raw.size())
            return std::nullopt;
        const char e = raw[i];
        if (e == '\\' || e == '"') {
            run += e;
        } else if (e == 'n' || e == 't' || e == 'r') {
            run += e == 'n' ? '\n' : e == 't' ? '\t' : '\r';
        } else if (e == 'x') {
            char32_t code = 0;
            qsizetype digits = 0;
            while (i + 1 < raw.size() && isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
                   digits < 8) {
                code = code * 16 + char32_t(QByteArray(1, raw[++i]).toUInt(nullptr, 16));
                ++digits;
            }
            if (digits == 0 || code > 0x10ffff)
                return std::nullopt;
            flush();
            out += QString::fromUcs4(&code, 1);
        } else {
            return std::nullopt;
        }
    }
    if (quoted)
        return std::nullopt; // the closing quote is missing
    return finish();
}

// A text as a raw value that decode() gives back: plain when that is unambiguous.
QByteArray encode(const QString& text)
{
    const QByteArray utf8 =
        (text.startsWith(u'@') ? QByteArray("@") : QByteArray()) + text.toUtf8();
    bool plain = !utf8.isEmpty();
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        plain = plain && (b >= 0x80 || std::isalnum(b) || c == '.' || c == '_' || c == '-' ||
                          c == '+' || c == ':' || c == '/');
    }
    if (plain)
        return utf8;
    QByteArray out("\"");
    for (const char c : utf8) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

bool isOurKey(const QByteArray& key)
{
    for (const char* k :
         {Preferences::barStyleKey, Preferences::unitsKey, Preferences::privacyModeKey,
          Preferences::publicIPLookupKey, Preferences::interfaceOverrideKey,
          Preferences::starlinkDashboardURLKey, Preferences::labelInkKey})
        if (key == k)
            return true;
    return false;
}

// The file's content, or why it cannot be used: a file that is missing reads as empty.
std::optional<QByteArray> readFile(const QString& path, QString* failure)
{
    const regular_file::Read r = regular_file::read(AT_FDCWD, QFile::encodeName(path).constData(),
                                                    std::size_t(Preferences::maxFileBytes));
    switch (r.status) {
    case regular_file::Read::ok:
        return QByteArray::fromStdString(r.bytes);
    case regular_file::Read::missing:
        return QByteArray();
    case regular_file::Read::notRegular:
        *failure = QCoreApplication::translate("Preferences", "not a regular file");
        break;
    case regular_file::Read::tooLarge:
        *failure = QCoreApplication::translate("Preferences", "larger than 1 MiB");
        break;
    case regular_file::Read::failed:
        *failure = QString::fromLocal8Bit(std::strerror(r.error));
        break;
    }
    return std::nullopt;
}

class FileStore final : public PreferencesStore {
public:
    explicit FileStore(const QString& path) : m_path(path) {}

    std::optional<QByteArray> load(QString* failure) const override
    {
        return readFile(m_path, failure);
    }

    bool save(const QByteArray& text, QString* failure) override
    {
        QSaveFile file(m_path);
        file.setDirectWriteFallback(false);
        if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
            *failure = QCoreApplication::translate("Preferences", "cannot create its directory");
            return false;
        }
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
            *failure = file.errorString();
            return false;
        }
        return true;
    }

private:
    QString m_path;
};

} // namespace

Preferences::Preferences() : Preferences(defaultPath()) {}

Preferences::Preferences(const QString& path) : Preferences(std::make_unique<FileStore>(path), path)
{}

Preferences::Preferences(std::unique_ptr<PreferencesStore> store, const QString& path)
    : m_store(std::move(store)), m_path(path)
{
    QString failure;
    if (const std::optional<QByteArray> content = m_store->load(&failure)) {
        for (const IniLine& line : parse(*content)) {
            if (isOurKey(line.key))
                m_values.insert(line.key, line.value);
        }
    }
}

Preferences::~Preferences() = default;

QString Preferences::path() const
{
    return m_path;
}

QSettings::Status Preferences::status() const
{
    return m_status;
}

QString Preferences::errorString() const
{
    return m_error;
}

LabelInk Preferences::labelInk() const
{
    const std::optional<QString> t = text(labelInkKey);
    return t ? label_ink::fromRaw(*t).value_or(LabelInk::automatic) : LabelInk::automatic;
}

std::optional<QString> Preferences::text(const char* key) const
{
    const auto it = m_values.constFind(QByteArray(key));
    if (it == m_values.constEnd())
        return std::nullopt;
    return decode(*it);
}

std::optional<bool> Preferences::boolean(const char* key) const
{
    const std::optional<QString> t = text(key);
    if (!t)
        return std::nullopt;
    if (t->compare(u"true", Qt::CaseInsensitive) == 0 || *t == u"1")
        return true;
    if (t->compare(u"false", Qt::CaseInsensitive) == 0 || *t == u"0")
        return false;
    return std::nullopt; // garbage is treated like absence, so the default applies
}

bool Preferences::write(const char* key, const std::optional<QByteArray>& raw)
{
    if (raw)
        m_values.insert(QByteArray(key), *raw);
    else
        m_values.remove(QByteArray(key));

    // Read again just before writing, so an edit made meanwhile by hand is kept too.
    QString failure;
    if (const std::optional<QByteArray> content = m_store->load(&failure)) {
        const QByteArray next = patched(*content, QByteArray(key), raw);
        if (next != *content)
            m_store->save(next, &failure);
    }
    m_status = failure.isEmpty() ? QSettings::NoError : QSettings::AccessError;
    m_error = failure.isEmpty()
                  ? QString()
                  : QCoreApplication::translate("Preferences", "Cannot save settings to %1: %2")
                        .arg(m_path, failure);
    return failure.isEmpty();
}

BarStyle Preferences::barStyle() const
{
    const std::optional<QString> t = text(barStyleKey);
    return t && *t == u"wide" ? BarStyle::wide : BarStyle::stacked;
}

RateUnits Preferences::units() const
{
    const std::optional<QString> t = text(unitsKey);
    return (t ? rate_units::fromRaw(*t) : std::nullopt).value_or(RateUnits::bits);
}

bool Preferences::privacyMode() const
{
    return boolean(privacyModeKey).value_or(false);
}

bool Preferences::publicIPLookup() const
{
    return boolean(publicIPLookupKey).value_or(true);
}

std::optional<QString> Preferences::interfaceOverride() const
{
    std::optional<QString> t = text(interfaceOverrideKey);
    if (t && isValidInterfaceName(*t))
        return t;
    return std::nullopt;
}

std::optional<QUrl> Preferences::starlinkDashboardURL() const
{
    QString failure;
    std::optional<QByteArray> raw;
    if (const std::optional<QByteArray> content = m_store->load(&failure)) {
        for (const IniLine& line : parse(*content)) {
            if (line.key == starlinkDashboardURLKey)
                raw = line.value;
        }
    }
    return validDashboardURL(raw ? decode(*raw) : std::nullopt);
}

bool Preferences::setBarStyle(BarStyle style)
{
    return write(barStyleKey, encode(bar_style::rawValue(style)));
}

bool Preferences::setUnits(RateUnits units)
{
    return write(unitsKey, encode(rate_units::rawValue(units)));
}

bool Preferences::setPrivacyMode(bool on)
{
    return write(privacyModeKey, on ? QByteArray("true") : QByteArray("false"));
}

bool Preferences::setPublicIPLookup(bool on)
{
    return write(publicIPLookupKey, on ? QByteArray("true") : QByteArray("false"));
}

bool Preferences::setInterfaceOverride(const std::optional<QString>& name)
{
    if (name && isValidInterfaceName(*name))
        return write(interfaceOverrideKey, encode(*name));
    return write(interfaceOverrideKey, std::nullopt);
}

bool Preferences::isValidInterfaceName(QStringView name)
{
    const QByteArray bytes = name.toUtf8();
    // Unpaired surrogates have no UTF-8 form; the conversion would have replaced them.
    return QString::fromUtf8(bytes) == name &&
           validInterfaceName(std::string_view(bytes.constData(), size_t(bytes.size())));
}

std::optional<QUrl> Preferences::validDashboardURL(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    const QUrl url(text->trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(u"https", Qt::CaseInsensitive) != 0 ||
        url.host().isEmpty())
        return std::nullopt;
    return url;
}

} // namespace corvane
