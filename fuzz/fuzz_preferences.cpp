// A hostile preferences file, one save: every line that is not the saved key's stays as it
// was and in order, at most the key's line and a [General] header are added, and the file
// read again gives back what was set.
#include "model/Preferences.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <cstdlib>
#include <stdlib.h>
#include <string>
#include <unistd.h>

using namespace corvane;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

QString filePath()
{
    static const QString path = [] {
        // In memory where there is a tmpfs: every save syncs the file.
        std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        dir += "/corvane-fuzz-prefs.XXXXXX";
        check(mkdtemp(dir.data()) != nullptr);
        return QString::fromStdString(dir) + QStringLiteral("/corvane.conf");
    }();
    return path;
}

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
    const QString path = filePath();
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
          file.write(content) == content.size());
    file.close();

    Preferences prefs(path);
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

    QFile after(path);
    check(after.open(QIODevice::ReadOnly));
    const QList<QByteArray> before = linesOf(content), now = linesOf(after.readAll());
    // Every old line without the key survives, in order; anything new is ours.
    const auto ours = [&](const QByteArray& line) {
        return line.contains(key) || line == "[General]";
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

    const Preferences reread(path);
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
