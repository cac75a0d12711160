#include "ui/PanelText.h"

#include "present/RateUnits.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <limits>

namespace corvane::panel_text {

QString linkKindTitle(LinkKind kind)
{
    // The titles as the measuring side names them, listed here for the translators.
    [[maybe_unused]] static const char* const titles[] = {
        QT_TRANSLATE_NOOP("LinkKind", "Wi-Fi"), QT_TRANSLATE_NOOP("LinkKind", "Ethernet"),
        QT_TRANSLATE_NOOP("LinkKind", "VPN"), QT_TRANSLATE_NOOP("LinkKind", "Cellular"),
        QT_TRANSLATE_NOOP("LinkKind", "Link")};
    return QCoreApplication::translate("LinkKind", std::string(title(kind)).c_str());
}

HeaderValues headerValues(std::span<const SpeedSample> samples, std::span<const double> times,
                          const SpeedSample& current, std::optional<int> hoverIndex)
{
    const auto n = static_cast<qint64>(samples.size());
    if (!hoverIndex || *hoverIndex < 0 || *hoverIndex >= n)
        return {current, std::nullopt};
    const auto i = static_cast<size_t>(*hoverIndex);
    std::optional<QString> age;
    if (times.size() == samples.size())
        age = ageText(std::max<qint64>(0, std::llround(times.back() - times[i])));
    return {samples[i], age};
}

QString ageText(qint64 seconds)
{
    if (seconds == 0)
        return QCoreApplication::translate("PanelText", "now");
    return QCoreApplication::translate("PanelText", "-%1s").arg(seconds);
}

std::optional<int> hoverIndexAt(double px, double width, int count)
{
    if (count < 2 || !(width > 0) || !std::isfinite(px))
        return std::nullopt;
    const double r = std::round(px / width * (count - 1)); // halves away from zero
    if (r < 1)
        return 0;
    return static_cast<int>(std::min(r, double(count - 1)));
}

double chartScale(std::span<const SpeedSample> samples)
{
    double k = 0.1;
    for (const SpeedSample& s : samples)
        k = std::max({k, s.downMbps, s.upMbps});
    return k;
}

double chartX(int index, int count, double width)
{
    return count < 2 ? 0 : width * index / (count - 1);
}

double chartY(double mbps, double scale, double height)
{
    return height - 1 - (height - 2) * mbps / scale;
}

LinkRowText linkRowText(LinkKind kind, double linkMbps,
                        const std::optional<WiFiMonitor::Radio>& radio)
{
    const QString kindTitle = linkKindTitle(kind);
    LinkRowText t;
    if (kind == LinkKind::wifi && radio) {
        t.label = radio->phyMode.isEmpty() ? kindTitle : radio->phyMode;
        const int bars = std::clamp(radio->bars(), 0, 4);
        QStringList parts{QString(bars, QChar(0x25AE)) + QString(4 - bars, QChar(0x25AF))};
        if (!radio->band.isEmpty())
            parts << radio->band;
        if (radio->txRateMbps > 0)
            parts << ScaledRate(radio->txRateMbps, RateUnits::bits).compact();
        t.detail = parts.join(QStringLiteral(" \u00B7 "));
        t.tooltip = radio->tooltip();
        return t;
    }
    t.label = kindTitle;
    if (kind != LinkKind::wifi && linkMbps > 0)
        t.detail = QCoreApplication::translate("PanelText", "%1 link")
                       .arg(ScaledRate(linkMbps, RateUnits::bits).compact());
    else
        t.detail = QCoreApplication::translate("PanelText", "connected");
    if (linkMbps > 0 && linkMbps < 1e15)
        t.tooltip = QCoreApplication::translate("PanelText", "Negotiated link speed %1 Mb/s")
                        .arg(qint64(linkMbps));
    else
        t.tooltip = kindTitle;
    return t;
}

RowValue rowValue(const std::optional<QString>& value, bool identifying, bool identifiersVisible)
{
    const bool masked = identifying && !identifiersVisible;
    if (!value)
        return {placeholder, masked};
    return {masked ? maskText : *value, masked};
}

QList<PickerItem> pickerItems(const std::optional<QString>& primary, const QStringList& interfaces,
                              const std::optional<QString>& override,
                              const std::function<QString(const QString&)>& kindTitle)
{
    QStringList names = interfaces;
    if (override && !override->isEmpty() && !names.contains(*override))
        names.prepend(*override);
    QList<PickerItem> items;
    items.append({QCoreApplication::translate("PanelText", "Auto (%1)")
                      .arg(primary ? *primary : placeholder),
                  QString()});
    for (const QString& name : names)
        items.append({name + QStringLiteral(" \u00B7 ") + kindTitle(name), name});
    return items;
}

int pickerSelection(const QList<PickerItem>& items, const std::optional<QString>& override)
{
    const QString wanted = override.value_or(QString());
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].name == wanted)
            return i;
    }
    return 0;
}

QString bytesText(quint64 bytes, const QLocale& locale)
{
    if (bytes == 0)
        return QCoreApplication::translate("PanelText", "Zero bytes");
    const quint64 clamped = std::min<quint64>(bytes, quint64(std::numeric_limits<qint64>::max()));
    if (clamped < 1000)
        return (clamped == 1 ? QCoreApplication::translate("PanelText", "%1 byte")
                             : QCoreApplication::translate("PanelText", "%1 bytes"))
            .arg(locale.toString(clamped));
    // The unit is picked by the rounded figure, so 999 950 bytes reads 1.0 MB, not 1000.0 kB.
    static const char* const units[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
    double v = double(clamped) / 1000;
    size_t unit = 0;
    while (v >= 999.95 && unit + 1 < std::size(units)) {
        v /= 1000;
        ++unit;
    }
    return locale.toString(v, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString totalsText(quint64 in, quint64 out, const QLocale& locale)
{
    return QStringLiteral("\u2193") + bytesText(in, locale) + QStringLiteral(" \u2191") +
           bytesText(out, locale);
}

QString startText(const QDateTime& start, const QLocale& locale)
{
    // Some locales' short style still carries seconds (C gives HH:mm:ss); a start time does
    // not need them.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[.:]ss?")));
    return QCoreApplication::translate("PanelText", "since %1")
        .arg(locale.toString(start.time(), format));
}

} // namespace corvane::panel_text
