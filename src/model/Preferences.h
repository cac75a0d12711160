#pragma once

#include "present/BarStyle.h"
#include "present/LabelInk.h"
#include "present/RateUnits.h"

#include <QSettings>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <memory>
#include <optional>

namespace corvane {

// The user's six preferences, kept in an INI file. Unusable stored values read as the
// defaults and are left in the file as they are; nothing here throws. Every write is synced
// at once; its result says whether the file was written, and the value stays in effect for
// this process either way.
class Preferences {
public:
    // $XDG_CONFIG_HOME/corvane/corvane.conf, or ~/.config/corvane/corvane.conf when
    // XDG_CONFIG_HOME is unset, empty or not an absolute path.
    static QString defaultPath();

    Preferences();
    explicit Preferences(const QString& path);
    ~Preferences();
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    QString path() const;

    BarStyle barStyle() const;   // exactly "wide" gives wide, anything else stacked
    RateUnits units() const;     // exactly "bits" or "bytes", anything else bits
    bool privacyMode() const;    // absent or unreadable: false
    bool publicIPLookup() const; // absent or unreadable: true
    // Present only when the stored name passes isValidInterfaceName().
    std::optional<QString> interfaceOverride() const;
    // "auto", "light" or "dark"; anything else is auto. Set by hand only.
    LabelInk labelInk() const;
    // Re-reads the file first, so a hand edit shows up without a restart. Never written.
    std::optional<QUrl> starlinkDashboardURL() const;

    bool setBarStyle(BarStyle style);
    bool setUnits(RateUnits units);
    bool setPrivacyMode(bool on);
    bool setPublicIPLookup(bool on);
    // A valid name is stored; none, or a name the kernel would refuse, removes the key.
    bool setInterfaceOverride(const std::optional<QString>& name);

    // Result of the last sync (QSettings::AccessError after a failed write, FormatError when
    // the file could not be parsed).
    QSettings::Status status() const;

    // Linux's own rule for an interface name: 1 to 15 bytes of UTF-8, not "." or "..", and
    // no '/', ':', white space or control characters.
    static bool isValidInterfaceName(QStringView name);

    // A trimmed, strictly parsed https URL with a non-empty host; the parsed URL of the
    // trimmed text, or none.
    static std::optional<QUrl> validDashboardURL(const std::optional<QString>& text);

    static constexpr auto barStyleKey = "barStyle";
    static constexpr auto unitsKey = "units";
    static constexpr auto privacyModeKey = "privacyMode";
    static constexpr auto publicIPLookupKey = "publicIPLookup";
    static constexpr auto interfaceOverrideKey = "interfaceOverride";
    static constexpr auto starlinkDashboardURLKey = "starlinkDashboardURL";
    static constexpr auto labelInkKey = "labelInk";

private:
    std::optional<QString> text(const char* key) const;
    std::optional<bool> boolean(const char* key) const;
    bool write(const char* key, const QVariant& value);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace corvane
