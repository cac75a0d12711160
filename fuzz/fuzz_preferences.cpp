// A hostile preferences file, one save: every line that is not the saved key's stays as it
// was and in order, at most the key's line and a [General] header are added, and the file
// read again gives back what was set.
#include "model/Preferences.h"

#include <QByteArray>
#include <QList>
#include <cstdlib>
#include <memory>

using namespace corvane;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The file's text in memory: the line editing is what hostile content reaches; the file
// handling around it (atomic replace, special files) has its own tests.
class MemoryStore final : public PreferencesStore {
public:
    explicit MemoryStore(QByteArray* text) : m_text(text) {}
    std::optional<QByteArray> load(QString*) const override { return *m_text; }
    bool save(const QByteArray& text, QString*) override
    {
        *m_text = text;
        return true;
    }

private:
    QByteArray* m_text;
};

QList<QByteArray> linesOf(const QByteArray& content)
{
    QList<QByteArray> lines = content.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 8192)
        return 0;
    // The first byte picks the setter; for the interface override the name follows a NUL.
    const uint8_t pick = data[0];
    QByteArray content(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    QString name = QStringLiteral("wlp2s0");
    if (const qsizetype nul = content.indexOf('\0'); nul >= 0) {
        name = QString::fromUtf8(content.mid(nul + 1));
        content.truncate(nul);
    }
    QByteArray stored = content;
    Preferences prefs(std::make_unique<MemoryStore>(&stored), QStringLiteral("corvane.conf"));
    prefs.barStyle();
    prefs.units();
    prefs.privacyMode();
    prefs.publicIPLookup();
    prefs.interfaceOverride();
    prefs.labelInk();
    prefs.starlinkDashboardURL();

    const char* key = nullptr;
    bool ok = false;
    const bool on = pick & 0x80;
    switch (pick % 5) {
    case 0:
        key = Preferences::barStyleKey;
        ok = prefs.setBarStyle(on ? BarStyle::wide : BarStyle::stacked);
        break;
    case 1:
        key = Preferences::unitsKey;
        ok = prefs.setUnits(on ? RateUnits::bytes : RateUnits::bits);
        break;
    case 2:
        key = Preferences::privacyModeKey;
        ok = prefs.setPrivacyMode(on);
        break;
    case 3:
        key = Preferences::publicIPLookupKey;
        ok = prefs.setPublicIPLookup(on);
        break;
    default:
        key = Preferences::interfaceOverrideKey;
        ok = prefs.setInterfaceOverride(on ? std::optional(name) : std::nullopt);
        break;
    }
    check(ok);

    const QList<QByteArray> before = linesOf(content), now = linesOf(stored);
    // Every old line without the key survives, in order; anything new is ours, or a blank
    // line left where a removed first line was.
    const auto ours = [&](const QByteArray& line) {
        return line.contains(key) || line == "[General]" || line.trimmed().isEmpty();
    };
    qsizetype at = 0;
    for (const QByteArray& line : before) {
        if (line.contains(key))
            continue;
        while (at < now.size() && now[at] != line) {
            check(ours(now[at]));
            ++at;
        }
        check(at < now.size());
        ++at;
    }
    for (; at < now.size(); ++at)
        check(ours(now[at]));

    const Preferences reread(std::make_unique<MemoryStore>(&stored),
                             QStringLiteral("corvane.conf"));
    switch (pick % 5) {
    case 0:
        check(reread.barStyle() == (on ? BarStyle::wide : BarStyle::stacked));
        break;
    case 1:
        check(reread.units() == (on ? RateUnits::bytes : RateUnits::bits));
        break;
    case 2:
        check(reread.privacyMode() == on);
        break;
    case 3:
        check(reread.publicIPLookup() == on);
        break;
    default:
        check(reread.interfaceOverride() ==
              (on && Preferences::isValidInterfaceName(name) ? std::optional(name) : std::nullopt));
        break;
    }
    return 0;
}
