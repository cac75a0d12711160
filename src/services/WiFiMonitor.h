#pragma once

#include "services/WiFiSource.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>
#include <string_view>

class QSocketNotifier;

namespace corvane {

// The joined Wi-Fi network's name and the radio details of the current association, for the panel.
// Main thread only. Every property follows one rule: assigning an equal value stores without a
// signal, and none equals only none.
class WiFiMonitor : public QObject {
    Q_OBJECT
public:
    struct Radio {
        int rssi = 0;             // dBm
        std::optional<int> noise; // dBm; many Linux drivers never report it
        double txRateMbps = 0;
        QString band; // "2.4 GHz", "5 GHz", "6 GHz" or empty
        int channel = 0;
        QString phyMode; // "Wi-Fi 4" to "Wi-Fi 7", or empty

        // Signal strength as 1 to 4 bars.
        int bars() const;
        // "Signal -55 dBm, noise -92 dBm, link rate 573 Mb/s"; an unknown noise is left
        // out rather than shown as a number.
        QString tooltip() const;

        friend bool operator==(const Radio&, const Radio&) = default;
    };

    // Reads the network name at once; follows the source's change events when it has any.
    explicit WiFiMonitor(std::unique_ptr<WiFiSource> source, QObject* parent = nullptr);
    ~WiFiMonitor() override;

    std::optional<QString> ssid() const { return ssid_; }
    std::optional<Radio> radio() const { return radio_; }

    // The interface whose network to report, when it is a Wi-Fi station interface (the one
    // being measured); otherwise the first station interface the kernel lists. A change
    // re-reads the network name.
    void setPreferredInterface(const QString& name);
    QString preferredInterface() const { return preferred_; }

    // Refresh the network name / the radio details.
    void read();
    void readRadio();

    // SSID bytes for display: invalid UTF-8, control, direction-control and zero-width
    // characters become U+FFFD, so nothing is dropped, hidden, reordered or breaks the line.
    static QString displayName(std::string_view ssidBytes);
    static int channel(uint32_t frequencyMHz);
    static QString band(uint32_t frequencyMHz);
    static QString generationName(WiFiGeneration generation);

Q_SIGNALS:
    void ssidChanged();
    void radioChanged();

private:
    void setSsid(const std::optional<QString>& value);
    void setRadio(const std::optional<Radio>& value);
    std::optional<WiFiInterface> defaultInterface();
    void onEvents();

    std::unique_ptr<WiFiSource> source_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::optional<QString> ssid_;
    std::optional<Radio> radio_;
    bool readQueued_ = false;
    QString preferred_;
};

} // namespace corvane
