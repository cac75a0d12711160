#include "model/AppViewModel.h"

#include "model/PanelRefresh.h"
#include "model/Preferences.h"
#include "model/SamplingLoop.h"
#include "platform/SystemEvents.h"
#include "present/Label.h"
#include "services/LoginItemService.h"
#include "services/WiFiMonitor.h"

#include <QTimer>
#include <algorithm>
#include <chrono>

namespace corvane {

namespace {

std::optional<QString> toQString(const std::optional<std::string>& s)
{
    if (!s)
        return std::nullopt;
    return QString::fromStdString(*s);
}

std::optional<std::string> toStd(const std::optional<QString>& s)
{
    if (!s)
        return std::nullopt;
    return s->toStdString();
}

} // namespace

// Out of line: the services are held by pointers to types the header only declares.
ModelServices::ModelServices() = default;
ModelServices::~ModelServices() = default;
ModelServices::ModelServices(ModelServices&&) noexcept = default;
ModelServices& ModelServices::operator=(ModelServices&&) noexcept = default;

AppViewModel::AppViewModel(ModelServices services, QObject* parent)
    : QObject(parent), services_(std::move(services))
{
    Preferences& prefs = *services_.preferences;
    label_ = std::make_unique<TrayLabel>(prefs.barStyle(), prefs.units());
    connect(label_.get(), &TrayLabel::textChanged, this, &AppViewModel::labelChanged);
    connect(label_.get(), &TrayLabel::imageChanged, this, &AppViewModel::labelImageChanged);
    connect(label_.get(), &TrayLabel::styleChanged, this, &AppViewModel::barStyleChanged);
    connect(label_.get(), &TrayLabel::unitsChanged, this, &AppViewModel::unitsChanged);

    privacyMode_ = prefs.privacyMode();
    publicIPLookup_ = prefs.publicIPLookup();
    sessionStart_ = QDateTime::currentDateTime();
    interfaceOverride_ = prefs.interfaceOverride();
    starlinkDashboardURL_ = prefs.starlinkDashboardURL();

    loop_ = std::make_unique<SamplingLoop>(std::move(services_.sampler),
                                           std::move(services_.sleepEvents),
                                           std::move(services_.powerState), services_.waitScale);
    loop_->setOverride(toStd(interfaceOverride_));
    connect(loop_.get(), &SamplingLoop::ticked, this, &AppViewModel::applyTick);

    refresh_ = std::make_unique<PanelRefresh>(*services_.publicAddress, *services_.dish);
    connect(refresh_.get(), &PanelRefresh::addressFound, this, [this](const QString& address) {
        assign(publicIP_, std::optional(address), &AppViewModel::publicIPChanged);
    });
    connect(refresh_.get(), &PanelRefresh::fetchingChanged, this,
            &AppViewModel::fetchingPublicIPChanged);
    connect(refresh_.get(), &PanelRefresh::dishAnswered, this, [this](bool reachable) {
        assign(starlinkReachable_, std::optional(reachable),
               &AppViewModel::starlinkReachableChanged);
    });
    connect(refresh_.get(), &PanelRefresh::finished, this, &AppViewModel::panelRefreshFinished);
}

AppViewModel::~AppViewModel() = default;

// ---------------------------------------------------------------- sampling

void AppViewModel::start()
{
    loop_->start();
}

bool AppViewModel::isSampling() const
{
    return loop_->isSampling();
}

double AppViewModel::cadence() const
{
    return loop_->cadence();
}

void AppViewModel::applyTick(const NetSampler::Tick& tick)
{
    assign(current_, tick.sample, &AppViewModel::currentChanged);
    ring_.append(
        tick.sample,
        std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    Q_EMIT ringChanged();
    totalInBytes_ += tick.deltaInBytes; // unsigned: wraps modulo 2^64
    Q_EMIT totalInBytesChanged();
    totalOutBytes_ += tick.deltaOutBytes;
    Q_EMIT totalOutBytesChanged();

    const std::optional<QString> name = toQString(tick.interfaceName);
    if (name != interfaceName_) {
        assign(interfaceName_, name, &AppViewModel::interfaceNameChanged);
        LinkKind kind = LinkKind::other;
        if (name) {
            kind = services_.links->kind(*tick.interfaceName);
            kinds_.insert(*name, kind);
        }
        assign(linkKind_, kind, &AppViewModel::linkKindChanged);
        if (panelOpen_) {
            std::optional<QString> ip;
            if (name)
                ip = toQString(services_.links->localIPv4(*tick.interfaceName));
            assign(localIP_, ip, &AppViewModel::localIPChanged);
            if (linkKind_ == LinkKind::wifi) {
                services_.wifi->setPreferredInterface(*name);
                services_.wifi->readRadio();
            }
        }
    }
    assign(routerIP_, toQString(tick.router), &AppViewModel::routerIPChanged);
    assign(linkMbps_, tick.linkMbps, &AppViewModel::linkMbpsChanged);
    assign(primaryInterfaceName_, toQString(tick.primaryName),
           &AppViewModel::primaryInterfaceNameChanged);
    assign(overrideHonored_, tick.overrideHonored, &AppViewModel::overrideHonoredChanged);
    label_->show(tick.sample);
    Q_EMIT tickApplied();
}

// ---------------------------------------------------------------- label

QString AppViewModel::format(const SpeedSample& sample, RateUnits units)
{
    return formatLabel(sample, units);
}

void AppViewModel::setUnits(RateUnits u)
{
    if (label_->setUnits(u))
        stored(services_.preferences->setUnits(u));
}

void AppViewModel::setBarStyle(BarStyle s)
{
    if (label_->setStyle(s))
        stored(services_.preferences->setBarStyle(s));
}

// ---------------------------------------------------------------- privacy, reveal, copy

void AppViewModel::setPrivacyMode(bool on)
{
    if (on == privacyMode_)
        return;
    privacyMode_ = on;
    Q_EMIT privacyModeChanged();
    assign(revealUntil_, std::optional<QDateTime>(), &AppViewModel::revealUntilChanged);
    revealTask_.reset();
    stored(services_.preferences->setPrivacyMode(on));
}

bool AppViewModel::identifiersVisible() const
{
    if (!privacyMode_)
        return true;
    return revealUntil_ && *revealUntil_ > QDateTime::currentDateTime();
}

namespace {

// A one-shot timer owned by the model: destroying it (replacement, cancellation, or the
// model going away) guarantees its callback never runs, so a stale job cannot clear a
// newer reveal or mark.
std::unique_ptr<QTimer> oneShot(QObject* context, int ms, std::function<void()> fn)
{
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, context, std::move(fn));
    timer->start(ms);
    return timer;
}

} // namespace

void AppViewModel::revealBriefly(double seconds)
{
    const qint64 ms = static_cast<qint64>(seconds * 1000);
    assign(revealUntil_, std::optional(QDateTime::currentDateTime().addMSecs(ms)),
           &AppViewModel::revealUntilChanged);
    revealTask_ = oneShot(this, static_cast<int>(std::clamp<qint64>(ms, 0, INT_MAX)), [this] {
        assign(revealUntil_, std::optional<QDateTime>(), &AppViewModel::revealUntilChanged);
    });
}

void AppViewModel::copyRow(RowId row, const std::optional<QString>& value, bool identifying)
{
    if (!value || value->isEmpty())
        return;
    if (identifying && !identifiersVisible())
        return;
    services_.desktop->copyText(*value);
    assign(copiedRow_, std::optional(row), &AppViewModel::copiedRowChanged);
    copiedTask_ = oneShot(this, copiedMarkMs, [this, row] {
        if (copiedRow_ == row)
            assign(copiedRow_, std::optional<RowId>(), &AppViewModel::copiedRowChanged);
    });
}

// ---------------------------------------------------------------- session, override, dish

void AppViewModel::resetSession()
{
    assign(totalInBytes_, quint64(0), &AppViewModel::totalInBytesChanged);
    assign(totalOutBytes_, quint64(0), &AppViewModel::totalOutBytesChanged);
    ring_.removeAll();
    Q_EMIT ringChanged();
    assign(sessionStart_, QDateTime::currentDateTime(), &AppViewModel::sessionStartChanged);
    loop_->resetBaseline();
}

void AppViewModel::setInterfaceOverride(const std::optional<QString>& name)
{
    std::optional<QString> normalised;
    if (name && Preferences::isValidInterfaceName(*name))
        normalised = name;
    if (normalised == interfaceOverride_)
        return;
    interfaceOverride_ = normalised;
    Q_EMIT interfaceOverrideChanged();
    stored(services_.preferences->setInterfaceOverride(normalised));
    loop_->setOverride(toStd(normalised));
}

void AppViewModel::openDishy()
{
    services_.desktop->openUrl(services_.dishyUrl);
}

void AppViewModel::openDashboard()
{
    if (starlinkDashboardURL_)
        services_.desktop->openUrl(*starlinkDashboardURL_);
}

// ---------------------------------------------------------------- panel

void AppViewModel::panelOpened()
{
    refresh_->cancel();
    assign(panelOpen_, true, &AppViewModel::panelOpenChanged);
    loop_->setPanelOpen(true);

    if (interfaceName_ && linkKind_ == LinkKind::wifi)
        services_.wifi->setPreferredInterface(*interfaceName_);
    services_.wifi->read();
    if (linkKind_ == LinkKind::wifi)
        services_.wifi->readRadio();
    services_.loginItem->refresh();
    refreshLinks();
    assign(starlinkDashboardURL_, services_.preferences->starlinkDashboardURL(),
           &AppViewModel::starlinkDashboardURLChanged);
    refresh_->start(publicIPLookup_);
}

void AppViewModel::cancelPanelRefresh()
{
    refresh_->cancel();
}

bool AppViewModel::fetchingPublicIP() const
{
    return refresh_->fetching();
}

void AppViewModel::panelClosed()
{
    assign(panelOpen_, false, &AppViewModel::panelOpenChanged);
    loop_->setPanelOpen(false);
}

void AppViewModel::setPublicIPLookup(bool on)
{
    if (on == publicIPLookup_)
        return;
    publicIPLookup_ = on;
    Q_EMIT publicIPLookupChanged();
    stored(services_.preferences->setPublicIPLookup(on));
    if (!on) {
        refresh_->dropLookups();
        assign(publicIP_, std::optional<QString>(), &AppViewModel::publicIPChanged);
    }
}

// ---------------------------------------------------------------- links and seed

void AppViewModel::refreshLinks()
{
    QStringList up;
    for (const std::string& name : services_.links->upInterfaces())
        up.append(QString::fromStdString(name));
    // Classified here, once per opening, so the picker never reads the system as it paints;
    // and before the list is announced, so the picker is filled with this opening's kinds.
    kinds_.clear();
    QStringList named = up;
    for (const std::optional<QString>& name :
         {interfaceName_, primaryInterfaceName_, interfaceOverride_}) {
        if (name)
            named.append(*name);
    }
    for (const QString& name : named) {
        if (!kinds_.contains(name))
            kinds_.insert(name, services_.links->kind(name.toStdString()));
    }
    assign(interfaces_, up, &AppViewModel::interfacesChanged);
    std::optional<QString> ip;
    if (interfaceName_)
        ip = toQString(services_.links->localIPv4(interfaceName_->toStdString()));
    assign(localIP_, ip, &AppViewModel::localIPChanged);
}

void AppViewModel::seed(const ModelSeed& seed)
{
    label_->setStyle(BarStyle::stacked); // not stored
    assign(privacyMode_, seed.privacyMode, &AppViewModel::privacyModeChanged);
    ring_.removeAll();
    // The seeded history is one sample per two-second tick, the newest now.
    const auto n = static_cast<double>(seed.history.size());
    double at = -2 * n;
    for (const SpeedSample& s : seed.history)
        ring_.append(s, at += 2);
    Q_EMIT ringChanged();
    assign(current_, seed.current, &AppViewModel::currentChanged);
    assign(sessionStart_, seed.sessionStart, &AppViewModel::sessionStartChanged);
    assign(totalInBytes_, seed.totalInBytes, &AppViewModel::totalInBytesChanged);
    assign(totalOutBytes_, seed.totalOutBytes, &AppViewModel::totalOutBytesChanged);
    assign(interfaceName_, std::optional(seed.interfaceName), &AppViewModel::interfaceNameChanged);
    assign(linkKind_, seed.linkKind, &AppViewModel::linkKindChanged);
    assign(linkMbps_, seed.linkMbps, &AppViewModel::linkMbpsChanged);
    assign(primaryInterfaceName_, std::optional(seed.interfaceName),
           &AppViewModel::primaryInterfaceNameChanged);
    assign(starlinkReachable_, seed.starlinkReachable, &AppViewModel::starlinkReachableChanged);
    assign(starlinkDashboardURL_, seed.starlinkDashboardURL,
           &AppViewModel::starlinkDashboardURLChanged);
    assign(routerIP_, seed.routerIP, &AppViewModel::routerIPChanged);
    assign(publicIP_, seed.publicIP, &AppViewModel::publicIPChanged);
    refreshLinks();
    services_.wifi->setPreferredInterface(seed.interfaceName);
    services_.wifi->readRadio();
    label_->show(current_, true);
}

void AppViewModel::stored(bool saved)
{
    assign(preferencesError_,
           saved ? std::optional<QString>() : std::optional(services_.preferences->errorString()),
           &AppViewModel::preferencesErrorChanged);
}

void AppViewModel::setLaunchAtLogin(bool on)
{
    services_.loginItem->setEnabled(on);
}

LinkKind AppViewModel::kindOf(const QString& name) const
{
    return kinds_.value(name, LinkKind::other);
}

} // namespace corvane
