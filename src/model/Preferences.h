#pragma once

#include "present/BarStyle.h"
#include "present/LabelInk.h"
#include "present/RateUnits.h"

#include <QByteArray>
#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringView>
#include <QUrl>
#include <memory>
#include <optional>

namespace corvane {

// Where the preferences text lives: the config file, or memory where files would only slow
// things down (fuzzing).
class PreferencesStore {
public:
    virtual ~PreferencesStore() = default;
    // The whole text, empty when there is none yet; none, with the reason, when unusable.
    virtual std::optional<QByteArray> load(QString* failure) const = 0;
    // Replaces the whole text atomically; false, with the reason, when that failed.
    virtual bool save(const QByteArray& text, QString* failure) = 0;
};

// The user's six preferences, kept in an INI file that the user may also edit by hand.
// Reading takes `key=value` lines of [General] (or before any section); unusable stored values
// read as the defaults and are left in the file as they are. Saving a preference rewrites only
// its own line, atomically, and keeps every other byte. Nothing here throws. A set value stays
// in effect for this process whether or not the file could be written.
class Preferences {
public:
    // $XDG_CONFIG_HOME/corvane/corvane.conf, or ~/.config/corvane/corvane.conf when
    // XDG_CONFIG_HOME is unset, empty or not an absolute path.
    static QString defaultPath();

    Preferences();
    explicit Preferences(const QString& path);
    // `path` only names the store in messages.
    Preferences(std::unique_ptr<PreferencesStore> store, const QString& path);
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

    // Result of the last write: AccessError after a failed one.
    QSettings::Status status() const;
    // Why the last write failed; empty after one that worked.
    QString errorString() const;

    // Larger files are not read (the defaults apply) and never rewritten.
    static constexpr qsizetype maxFileBytes = 1 << 20;

    // validInterfaceName() (the kernel's rule) on the name's UTF-8 form.
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
    // Stores the raw value text of `key`, or removes the key.
    bool write(const char* key, const std::optional<QByteArray>& raw);

    std::unique_ptr<PreferencesStore> m_store;
    QString m_path;
    QHash<QByteArray, QByteArray> m_values; // raw value texts of our keys
    QSettings::Status m_status = QSettings::NoError;
    QString m_error;
};

} // namespace corvane
