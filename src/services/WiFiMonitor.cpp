#include "services/WiFiMonitor.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cmath>

namespace corvane {

int WiFiMonitor::Radio::bars() const
{
    if (rssi < -80)
        return 1;
    if (rssi < -70)
        return 2;
    if (rssi < -60)
        return 3;
    return 4;
}

QString WiFiMonitor::Radio::tooltip() const
{
    // Truncated, not rounded; a value outside any real rate shows as 0.
    const double rate = std::trunc(txRateMbps);
    const qint64 wholeRate = std::isfinite(rate) && std::fabs(rate) < 1e15 ? qint64(rate) : 0;
    QString text = QCoreApplication::translate("WiFiMonitor", "Signal %1 dBm").arg(rssi);
    if (noise)
        text += QCoreApplication::translate("WiFiMonitor", ", noise %1 dBm").arg(*noise);
    text += QCoreApplication::translate("WiFiMonitor", ", link rate %1 Mb/s").arg(wholeRate);
    return text;
}

WiFiMonitor::WiFiMonitor(std::unique_ptr<WiFiSource> source, QObject* parent)
    : QObject(parent), source_(std::move(source))
{
    if (source_ && source_->eventDescriptor() >= 0) {
        notifier_ =
            std::make_unique<QSocketNotifier>(source_->eventDescriptor(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &WiFiMonitor::onEvents);
    }
    read();
}

WiFiMonitor::~WiFiMonitor() = default;

void WiFiMonitor::setPreferredInterface(const QString& name)
{
    if (name == preferred_)
        return;
    preferred_ = name;
    read();
}

std::optional<WiFiInterface> WiFiMonitor::defaultInterface()
{
    if (!source_)
        return std::nullopt;
    std::optional<WiFiInterface> first;
    for (WiFiInterface& iface : source_->readInterfaces()) {
        if (!iface.station)
            continue;
        if (!preferred_.isEmpty() && QString::fromStdString(iface.name) == preferred_)
            return std::move(iface);
        if (!first)
            first = std::move(iface);
    }
    return first;
}

void WiFiMonitor::read()
{
    auto iface = defaultInterface();
    if (!iface) {
        setSsid(std::nullopt);
        return;
    }
    std::optional<std::string> bytes = iface->ssid;
    // Some kernels (5.19 to at least 6.0) leave the SSID out of the interface reply.
    if (!bytes || bytes->empty()) {
        auto link = source_->readLink(iface->index);
        bytes = link ? link->ssid : std::nullopt;
    }
    // An empty SSID is a hidden network's placeholder, not a name.
    setSsid(bytes && !bytes->empty() ? std::optional(displayName(*bytes)) : std::nullopt);
}

void WiFiMonitor::readRadio()
{
    auto iface = defaultInterface();
    if (!iface) {
        setRadio(std::nullopt);
        return;
    }
    const auto link = source_->readLink(iface->index);
    const bool named =
        (iface->ssid && !iface->ssid->empty()) || (link && link->ssid && !link->ssid->empty());
    if (!named) {
        setRadio(std::nullopt);
        return;
    }

    const auto station = source_->readStation(
        iface->index, link ? std::optional<MacAddress>(link->bssid) : std::nullopt);
    std::optional<int> signal;
    if (station)
        signal = station->signalDbm ? station->signalDbm : station->beaconSignalAvgDbm;
    if (!signal && link && link->signalMbm)
        signal = static_cast<int>(std::lround(*link->signalMbm / 100.0));
    // With no signal from any source there is no honest reading to show.
    if (!signal) {
        setRadio(std::nullopt);
        return;
    }

    const uint32_t frequency =
        iface->frequencyMHz != 0 ? iface->frequencyMHz : (link ? link->frequencyMHz : 0);
    Radio r;
    r.band = band(frequency);
    r.phyMode = station ? generationName(station->txGeneration) : QString();
    r.rssi = *signal;
    r.noise = source_->readNoise(iface->index, frequency);
    r.txRateMbps = station && station->txRate100kbps ? *station->txRate100kbps / 10.0 : 0.0;
    r.channel = channel(frequency);
    setRadio(r);
}

void WiFiMonitor::onEvents()
{
    if (!source_->takeNetworkChange() || readQueued_)
        return;
    // A burst of events gives one refresh, run as its own task on this thread.
    readQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            readQueued_ = false;
            read();
        },
        Qt::QueuedConnection);
}

void WiFiMonitor::setSsid(const std::optional<QString>& value)
{
    if (ssid_ == value)
        return;
    ssid_ = value;
    Q_EMIT ssidChanged();
}

void WiFiMonitor::setRadio(const std::optional<Radio>& value)
{
    if (radio_ == value)
        return;
    radio_ = value;
    Q_EMIT radioChanged();
}

QString WiFiMonitor::displayName(std::string_view ssidBytes)
{
    QString text = QString::fromUtf8(ssidBytes.data(), qsizetype(ssidBytes.size()));
    // Direction controls would reorder the row and invisible ones hide what is there; they
    // show as replacement characters like the controls that would break the line.
    const auto hostile = [](char16_t u) {
        return (u >= 0x200b && u <= 0x200f) || (u >= 0x202a && u <= 0x202e) ||
               (u >= 0x2060 && u <= 0x2069 && u != 0x2065) || u == 0x061c || u == 0xfeff;
    };
    for (QChar& c : text) {
        const auto category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph || hostile(c.unicode()))
            c = QChar::ReplacementCharacter;
    }
    return text;
}

int WiFiMonitor::channel(uint32_t f)
{
    if (f == 2484)
        return 14;
    if (f > 2407 && f < 2484)
        return int(f - 2407) / 5;
    if (f >= 4910 && f <= 4980)
        return int(f - 4000) / 5;
    if (f > 5000 && f <= 5895)
        return int(f - 5000) / 5;
    if (f == 5935)
        return 2;
    if (f > 5950 && f <= 7125)
        return int(f - 5950) / 5;
    return 0;
}

QString WiFiMonitor::band(uint32_t f)
{
    if (f >= 2400 && f <= 2484)
        return QStringLiteral("2.4 GHz");
    if (f >= 4910 && f <= 5895)
        return QStringLiteral("5 GHz");
    if (f >= 5925 && f <= 7125)
        return QStringLiteral("6 GHz");
    return {};
}

QString WiFiMonitor::generationName(WiFiGeneration generation)
{
    switch (generation) {
    case WiFiGeneration::ht:
        return QStringLiteral("Wi-Fi 4");
    case WiFiGeneration::vht:
        return QStringLiteral("Wi-Fi 5");
    case WiFiGeneration::he:
        return QStringLiteral("Wi-Fi 6");
    case WiFiGeneration::eht:
        return QStringLiteral("Wi-Fi 7");
    case WiFiGeneration::legacy:
        break;
    }
    return {};
}

} // namespace corvane
