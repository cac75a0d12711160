#pragma once

#include "measure/LinkKind.h"
#include "measure/NetSampler.h"
#include "measure/RingBuffer.h"
#include "model/RowId.h"
#include "present/BarStyle.h"
#include "present/LabelImage.h"
#include "present/RateUnits.h"
#include "present/TrayLabel.h"
#include "services/StarlinkProbe.h"
#include "services/SystemPorts.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;

namespace corvane {

class LoginItemService;
class PanelRefresh;
class PowerState;
class Preferences;
class SamplingLoop;
class SleepEvents;
class WiFiMonitor;

// What the model asks of the system, injectable so the logic runs against fakes.
struct ModelServices {
    ModelServices();
    ~ModelServices();
    ModelServices(ModelServices&&) noexcept;
    ModelServices& operator=(ModelServices&&) noexcept;

    std::unique_ptr<NetSampler> sampler;
    std::unique_ptr<Preferences> preferences;
    std::unique_ptr<SleepEvents> sleepEvents; // may be null: no sleep/wake events
    std::unique_ptr<PowerState> powerState;   // may be null: never low power
    std::unique_ptr<LinkDirectory> links;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<WiFiMonitor> wifi;
    std::unique_ptr<LoginItemService> loginItem;
    std::unique_ptr<PublicAddressLookup> publicAddress;
    std::unique_ptr<DishProbe> dish;
    QUrl dishyUrl = StarlinkProbe::dishyURL();
    // Scales the loop's waits; tests shorten them, the app keeps 1.
    double waitScale = 1.0;
};

// A fixed state shown in place of measurements, applied once and never stored.
struct ModelSeed {
    std::vector<SpeedSample> history; // oldest first
    SpeedSample current;
    QDateTime sessionStart;
    quint64 totalInBytes = 0;
    quint64 totalOutBytes = 0;
    QString interfaceName;
    LinkKind linkKind = LinkKind::other;
    double linkMbps = 0;
    bool privacyMode = false;
    std::optional<bool> starlinkReachable;
    std::optional<QUrl> starlinkDashboardURL;
    std::optional<QString> routerIP;
    std::optional<QString> publicIP;
};

// The state the tray label and the panel show, and the user's preferences. The work behind
// it is done by its parts: the sampling loop, the tray label and the panel's refresh.
// Main thread only.
class AppViewModel : public QObject {
    Q_OBJECT

public:
    static constexpr int ringCapacity = 60;
    static constexpr double defaultRevealSeconds = 8;
    static constexpr int copiedMarkMs = 1200;

    explicit AppViewModel(ModelServices services, QObject* parent = nullptr);
    ~AppViewModel() override;

    // --- observable state
    const QString& label() const { return label_->text(); }
    const LabelImage& labelImage() const { return label_->image(); }
    BarStyle barStyle() const { return label_->style(); }
    RateUnits units() const { return label_->units(); }
    bool privacyMode() const { return privacyMode_; }
    const std::optional<QDateTime>& revealUntil() const { return revealUntil_; }
    bool publicIPLookup() const { return publicIPLookup_; }
    const std::optional<RowId>& copiedRow() const { return copiedRow_; }
    const QDateTime& sessionStart() const { return sessionStart_; }
    const std::optional<QString>& interfaceOverride() const { return interfaceOverride_; }
    const std::optional<bool>& starlinkReachable() const { return starlinkReachable_; }
    const std::optional<QUrl>& starlinkDashboardURL() const { return starlinkDashboardURL_; }
    const SpeedSample& current() const { return current_; }
    const RingBuffer& ring() const { return ring_; }
    quint64 totalInBytes() const { return totalInBytes_; }
    quint64 totalOutBytes() const { return totalOutBytes_; }
    const std::optional<QString>& interfaceName() const { return interfaceName_; }
    LinkKind linkKind() const { return linkKind_; }
    double linkMbps() const { return linkMbps_; }
    const std::optional<QString>& primaryInterfaceName() const { return primaryInterfaceName_; }
    bool overrideHonored() const { return overrideHonored_; }
    const QStringList& interfaces() const { return interfaces_; }
    bool panelOpen() const { return panelOpen_; }
    const std::optional<QString>& routerIP() const { return routerIP_; }
    const std::optional<QString>& localIP() const { return localIP_; }
    const std::optional<QString>& publicIP() const { return publicIP_; }
    bool fetchingPublicIP() const;
    // Why the last change of a preference could not be saved; none once one is saved.
    const std::optional<QString>& preferencesError() const { return preferencesError_; }
    WiFiMonitor& wifi() const { return *services_.wifi; }
    LoginItemService& loginItem() const { return *services_.loginItem; }
    const QUrl& dishyUrl() const { return services_.dishyUrl; }

    // Shows `seed` as if measured; the history and totals replace the session's.
    void seed(const ModelSeed& seed);

    // --- sampling
    // Starts the sampling loop and follows display sleep; later calls do nothing.
    void start();
    bool isSampling() const;
    double cadence() const;

    // --- label
    static QString format(const SpeedSample& sample, RateUnits units);
    void setUnits(RateUnits u);
    void setBarStyle(BarStyle s);

    // --- privacy, reveal, copy
    void setPrivacyMode(bool on);
    bool identifiersVisible() const;
    void revealBriefly(double seconds = defaultRevealSeconds);
    void copyRow(RowId row, const std::optional<QString>& value, bool identifying);

    // --- session, override, dish pages
    void resetSession();
    void setInterfaceOverride(const std::optional<QString>& name);
    void openDishy();
    void openDashboard();

    // --- panel
    // Starts the opening refresh as a job; a running one is cancelled first.
    void panelOpened();
    // Cancels the opening refresh: its lookup and probe results are dropped.
    void cancelPanelRefresh();
    void panelClosed();
    void setPublicIPLookup(bool on);
    void setLaunchAtLogin(bool on);
    // The kind of link an interface name stands for, for the interface picker: known for
    // the listed interfaces, the measured one and the pinned one since the panel opened.
    LinkKind kindOf(const QString& name) const;

Q_SIGNALS:
    void labelChanged();
    void labelImageChanged();
    void barStyleChanged();
    void unitsChanged();
    void privacyModeChanged();
    void revealUntilChanged();
    void publicIPLookupChanged();
    void copiedRowChanged();
    void sessionStartChanged();
    void interfaceOverrideChanged();
    void starlinkReachableChanged();
    void starlinkDashboardURLChanged();
    void currentChanged();
    void ringChanged();
    void totalInBytesChanged();
    void totalOutBytesChanged();
    void interfaceNameChanged();
    void linkKindChanged();
    void linkMbpsChanged();
    void primaryInterfaceNameChanged();
    void overrideHonoredChanged();
    void interfacesChanged();
    void panelOpenChanged();
    void routerIPChanged();
    void localIPChanged();
    void publicIPChanged();
    void fetchingPublicIPChanged();
    void preferencesErrorChanged();
    // Emitted after every applied tick, once all fields of that tick are in place.
    void tickApplied();
    // Emitted when an opening refresh has ended (completed or cancelled).
    void panelRefreshFinished();

private:
    template <typename T, typename Signal> void assign(T& field, const T& value, Signal signal)
    {
        if (field == value)
            return;
        field = value;
        Q_EMIT(this->*signal)();
    }

    void applyTick(const NetSampler::Tick& tick);
    void refreshLinks();
    void stored(bool saved);

    ModelServices services_;
    std::unique_ptr<TrayLabel> label_;
    std::unique_ptr<SamplingLoop> loop_;
    std::unique_ptr<PanelRefresh> refresh_;

    bool privacyMode_ = false;
    std::optional<QDateTime> revealUntil_;
    std::unique_ptr<QTimer> revealTask_;
    bool publicIPLookup_ = true;
    std::optional<RowId> copiedRow_;
    std::unique_ptr<QTimer> copiedTask_;
    QDateTime sessionStart_;
    std::optional<QString> interfaceOverride_;
    std::optional<bool> starlinkReachable_;
    std::optional<QUrl> starlinkDashboardURL_;
    SpeedSample current_;
    RingBuffer ring_{ringCapacity};
    quint64 totalInBytes_ = 0;
    quint64 totalOutBytes_ = 0;
    std::optional<QString> interfaceName_;
    LinkKind linkKind_ = LinkKind::other;
    double linkMbps_ = 0;
    std::optional<QString> primaryInterfaceName_;
    bool overrideHonored_ = false;
    QStringList interfaces_;
    bool panelOpen_ = false;
    std::optional<QString> routerIP_;
    std::optional<QString> localIP_;
    std::optional<QString> publicIP_;
    std::optional<QString> preferencesError_;
    QHash<QString, LinkKind> kinds_;
};

} // namespace corvane
