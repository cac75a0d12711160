#include "model/AppViewModel.h"

#include "model/Preferences.h"
#include "model/SamplerThread.h"
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
    const ScaledRate zero(0, RateUnits::bits);
    label_ = format(SpeedSample::zero(), RateUnits::bits);
    labelImage_ = renderStacked(zero, zero, true, true);

    Preferences& prefs = *services_.preferences;
    barStyle_ = prefs.barStyle();
    units_ = prefs.units();
    privacyMode_ = prefs.privacyMode();
    publicIPLookup_ = prefs.publicIPLookup();
    sessionStart_ = QDateTime::currentDateTime();
    interfaceOverride_ = prefs.interfaceOverride();
    starlinkDashboardURL_ = prefs.starlinkDashboardURL();

    sampler_ = std::make_unique<SamplerThread>(std::move(services_.sampler));
}

AppViewModel::~AppViewModel() = default;

// ---------------------------------------------------------------- sampling

double AppViewModel::cadenceFor(bool panelOpen, qint64 idleTicks, bool lowPower)
{
    if (panelOpen)
        return 2;
    if (idleTicks < 10)
        return lowPower ? 3 : 2;
    return lowPower ? 6 : 4;
}

double AppViewModel::cadence() const
{
    const bool lowPower = services_.powerState && services_.powerState->lowPowerMode();
    return cadenceFor(panelOpen_, idleTicks_, lowPower);
}

void AppViewModel::start()
{
    if (watchersStarted_)
        return;
    startSampling();
    watchDisplaySleep();
}

void AppViewModel::startSampling()
{
    cancelSampling();
    if (!sampler_->isRunning())
        return; // already reported: no rates
    sampling_ = true;
    sampler_->post([override = toStd(interfaceOverride_)](NetSampler& s) {
        s.setOverride(override);
        s.resetBaseline();
    });
    sampler_->sampleAfter(0, this, [this](const NetSampler::Tick& t) { onTick(t); });
}

void AppViewModel::cancelSampling()
{
    sampling_ = false;
    sampler_->cancelPending(); // a tick already on its way is dropped too
}

void AppViewModel::watchDisplaySleep()
{
    watchersStarted_ = true;
    if (!services_.sleepEvents)
        return;
    connect(services_.sleepEvents.get(), &SleepEvents::displaysSlept, this,
            [this] { cancelSampling(); });
    connect(services_.sleepEvents.get(), &SleepEvents::displaysWoke, this,
            [this] { startSampling(); });
}

void AppViewModel::onTick(const NetSampler::Tick& tick)
{
    applyTick(tick);
    sampler_->sampleAfter(cadence() * services_.waitScale, this,
                          [this](const NetSampler::Tick& t) { onTick(t); });
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

    const bool quiet = tick.sample.downMbps < quietMbps && tick.sample.upMbps < quietMbps;
    assign(idleTicks_, quiet ? std::min(idleTicks_ + 1, idleTicksCap) : qint64(0),
           &AppViewModel::idleTicksChanged);

    refreshLabel(tick.sample, false);
    Q_EMIT tickApplied();
}

// ---------------------------------------------------------------- label

QString AppViewModel::format(const SpeedSample& sample, RateUnits units)
{
    return formatLabel(sample, units);
}

void AppViewModel::refreshLabel(const SpeedSample& sample, bool force)
{
    const QString text = format(sample, units_);
    if (text != label_) {
        label_ = text;
        Q_EMIT labelChanged();
        force = true;
    }
    if (barStyle_ != BarStyle::stacked || !force)
        return;
    const ScaledRate d(sample.downMbps, units_);
    const ScaledRate u(sample.upMbps, units_);
    const bool dimDown = isIdleRate(sample.downMbps);
    const bool dimUp = isIdleRate(sample.upMbps);
    const QString key = labelCacheKey(d, u, dimDown, dimUp);
    if (auto it = imageCache_.constFind(key); it != imageCache_.constEnd()) {
        assign(labelImage_, *it, &AppViewModel::labelImageChanged);
        return;
    }
    // Emptied whole rather than trimmed: cheap, and idle links refill it with one image.
    if (imageCache_.size() > 64)
        imageCache_.clear();
    const LabelImage image = renderStacked(d, u, dimDown, dimUp);
    imageCache_.insert(key, image);
    assign(labelImage_, image, &AppViewModel::labelImageChanged);
}

void AppViewModel::setUnits(RateUnits u)
{
    if (u == units_)
        return;
    units_ = u;
    Q_EMIT unitsChanged();
    stored(services_.preferences->setUnits(u));
    refreshLabel(current_, true);
}

void AppViewModel::setBarStyle(BarStyle s)
{
    if (s == barStyle_)
        return;
    barStyle_ = s;
    Q_EMIT barStyleChanged();
    stored(services_.preferences->setBarStyle(s));
    refreshLabel(current_, true);
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
    sampler_->post([](NetSampler& s) { s.resetBaseline(); });
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
    sampler_->post([n = toStd(normalised)](NetSampler& s) { s.setOverride(n); });
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

struct AppViewModel::PanelJob {
    bool cancelled = false;
    bool lookupDone = false;
    std::optional<bool> probeResult;
    ProbeHandle probe;
};

void AppViewModel::panelOpened()
{
    cancelPanelRefresh();
    assign(panelOpen_, true, &AppViewModel::panelOpenChanged);

    if (interfaceName_ && linkKind_ == LinkKind::wifi)
        services_.wifi->setPreferredInterface(*interfaceName_);
    services_.wifi->read();
    if (linkKind_ == LinkKind::wifi)
        services_.wifi->readRadio();
    services_.loginItem->refresh();
    refreshLinks();
    assign(starlinkDashboardURL_, services_.preferences->starlinkDashboardURL(),
           &AppViewModel::starlinkDashboardURLChanged);

    auto job = std::make_shared<PanelJob>();
    panelJob_ = job;
    job->probe = services_.dish->reachable(this, [this, job](bool reachable) {
        job->probeResult = reachable;
        finishPanelJob(job);
    });

    if (!publicIPLookup_) {
        job->lookupDone = true;
        finishPanelJob(job);
        return;
    }
    // Counted rather than a plain flag: a cancelled opening whose lookup returns late must
    // not clear the indicator of a newer opening that is still waiting.
    ++lookupsInFlight_;
    assign(fetchingPublicIP_, true, &AppViewModel::fetchingPublicIPChanged);
    services_.publicAddress->fetch(
        this, [this, job, epoch = lookupEpoch_](std::optional<QString> address) {
            // A lookup that outlived a switch-off answers a question nobody asks any more.
            if (!job->cancelled && address && epoch == lookupEpoch_)
                assign(publicIP_, address, &AppViewModel::publicIPChanged);
            --lookupsInFlight_;
            assign(fetchingPublicIP_, lookupsInFlight_ > 0, &AppViewModel::fetchingPublicIPChanged);
            job->lookupDone = true;
            finishPanelJob(job);
        });
}

void AppViewModel::finishPanelJob(const std::shared_ptr<PanelJob>& job)
{
    // The probe's answer is written only once the lookup is over, as one step.
    if (!job->lookupDone || !job->probeResult)
        return;
    if (!job->cancelled)
        assign(starlinkReachable_, job->probeResult, &AppViewModel::starlinkReachableChanged);
    if (panelJob_ == job)
        panelJob_.reset();
    Q_EMIT panelRefreshFinished();
}

void AppViewModel::cancelPanelRefresh()
{
    if (!panelJob_)
        return;
    const std::shared_ptr<PanelJob> job = std::move(panelJob_);
    job->cancelled = true;
    job->probe.cancel(); // delivers false now; the job ends once its lookup is back
}

void AppViewModel::panelClosed()
{
    assign(panelOpen_, false, &AppViewModel::panelOpenChanged);
}

void AppViewModel::setPublicIPLookup(bool on)
{
    if (on == publicIPLookup_)
        return;
    publicIPLookup_ = on;
    Q_EMIT publicIPLookupChanged();
    stored(services_.preferences->setPublicIPLookup(on));
    if (!on) {
        ++lookupEpoch_;
        assign(publicIP_, std::optional<QString>(), &AppViewModel::publicIPChanged);
    }
}

// ---------------------------------------------------------------- links and seed

void AppViewModel::refreshLinks()
{
    QStringList up;
    for (const std::string& name : services_.links->upInterfaces())
        up.append(QString::fromStdString(name));
    assign(interfaces_, up, &AppViewModel::interfacesChanged);
    // Classified here, once per opening, so the picker never reads the system as it paints.
    kinds_.clear();
    for (const std::optional<QString>& name :
         {interfaceName_, primaryInterfaceName_, interfaceOverride_}) {
        if (name)
            up.append(*name);
    }
    for (const QString& name : up) {
        if (!kinds_.contains(name))
            kinds_.insert(name, services_.links->kind(name.toStdString()));
    }
    std::optional<QString> ip;
    if (interfaceName_)
        ip = toQString(services_.links->localIPv4(interfaceName_->toStdString()));
    assign(localIP_, ip, &AppViewModel::localIPChanged);
}

void AppViewModel::seed(const ModelSeed& seed)
{
    assign(barStyle_, BarStyle::stacked, &AppViewModel::barStyleChanged); // not stored
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
    refreshLabel(current_, true);
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
