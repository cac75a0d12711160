#include "model/Preferences.h"

#include <QDir>

namespace corvane {

QString Preferences::defaultPath()
{
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    // Relative values are to be ignored, the same as an unset variable.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/corvane/corvane.conf");
}

Preferences::Preferences() : Preferences(defaultPath()) {}

Preferences::Preferences(const QString& path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{}

Preferences::~Preferences() = default;

QString Preferences::path() const
{
    return m_settings->fileName();
}

QSettings::Status Preferences::status() const
{
    return m_settings->status();
}

LabelInk Preferences::labelInk() const
{
    const std::optional<QString> t = text(labelInkKey);
    return t ? label_ink::fromRaw(*t).value_or(LabelInk::automatic) : LabelInk::automatic;
}

std::optional<QString> Preferences::text(const char* key) const
{
    const QVariant v = m_settings->value(QLatin1String(key));
    // A hand-written "a, b" reads as a list and "@Variant(...)" as anything at all; neither
    // is a text we stored.
    if (v.typeId() != QMetaType::QString)
        return std::nullopt;
    return v.toString();
}

std::optional<bool> Preferences::boolean(const char* key) const
{
    // Values written in this process are held as they were set until the file is re-read.
    const QVariant v = m_settings->value(QLatin1String(key));
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    const std::optional<QString> t = text(key);
    if (!t)
        return std::nullopt;
    if (t->compare(u"true", Qt::CaseInsensitive) == 0 || *t == u"1")
        return true;
    if (t->compare(u"false", Qt::CaseInsensitive) == 0 || *t == u"0")
        return false;
    return std::nullopt; // garbage is treated like absence, so the default applies
}

bool Preferences::write(const char* key, const QVariant& value)
{
    if (value.isValid())
        m_settings->setValue(QLatin1String(key), value);
    else
        m_settings->remove(QLatin1String(key));
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
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
    m_settings->sync();
    return validDashboardURL(text(starlinkDashboardURLKey));
}

bool Preferences::setBarStyle(BarStyle style)
{
    return write(barStyleKey, bar_style::rawValue(style));
}

bool Preferences::setUnits(RateUnits units)
{
    return write(unitsKey, rate_units::rawValue(units));
}

bool Preferences::setPrivacyMode(bool on)
{
    return write(privacyModeKey, on);
}

bool Preferences::setPublicIPLookup(bool on)
{
    return write(publicIPLookupKey, on);
}

bool Preferences::setInterfaceOverride(const std::optional<QString>& name)
{
    if (name && isValidInterfaceName(*name))
        return write(interfaceOverrideKey, *name);
    return write(interfaceOverrideKey, QVariant());
}

bool Preferences::isValidInterfaceName(QStringView name)
{
    // The kernel counts bytes: IFNAMSIZ is 16 including the terminating NUL.
    constexpr qsizetype maxBytes = 15;
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    const QByteArray bytes = name.toUtf8();
    if (bytes.size() > maxBytes)
        return false;
    // Unpaired surrogates have no UTF-8 form; the conversion would have replaced them.
    if (QString::fromUtf8(bytes) != name)
        return false;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        // The kernel's isspace() also counts 0xA0, which turns up inside UTF-8 sequences.
        if (b == '/' || b == ':' || b < 0x20 || b == 0x7f || b == ' ' || b == 0xa0)
            return false;
    }
    for (const QChar c : name) {
        if (c.isSpace())
            return false;
    }
    return true;
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
