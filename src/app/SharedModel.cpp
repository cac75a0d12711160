#include "app/SharedModel.h"

#include "demo/DemoServices.h"
#include "model/AppViewModel.h"
#include "model/Preferences.h"
#include "platform/dbus/SystemWatchers.h"
#include "platform/netlink/SystemNetSampler.h"
#include "platform/nl80211/Nl80211WiFiSource.h"
#include "platform/sysfs/SystemLinks.h"
#include "services/LoginItemService.h"
#include "services/WiFiMonitor.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QTimer>

namespace corvane {

namespace {

class SystemLinkDirectory final : public LinkDirectory {
public:
    LinkKind kind(const std::string& name) override { return SystemLinks::kind(name); }
    std::optional<std::string> localIPv4(const std::string& name) override
    {
        return SystemLinks::localIPv4(name);
    }
    std::vector<std::string> upInterfaces() override { return SystemLinks::upInterfaces(); }
};

class SystemDesktop final : public Desktop {
public:
    void openUrl(const QUrl& url) override
    {
        // Queued so that a slow URL handler never blocks the click that asked for it.
        QTimer::singleShot(0, qApp, [url] { QDesktopServices::openUrl(url); });
    }
    void copyText(const QString& text) override
    {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(text, QClipboard::Clipboard);
    }
};

class XdgLoginEntry final : public Autostart {
public:
    explicit XdgLoginEntry(XdgAutostart entry) : entry_(std::move(entry)) {}
    bool isEnabled() const override { return entry_.isEnabled(); }
    std::optional<QString> install() override { return entry_.install(); }
    std::optional<QString> uninstall() override { return entry_.uninstall(); }

private:
    XdgAutostart entry_;
};

std::unique_ptr<Preferences> preferences(const SystemOptions& options)
{
    return options.preferencesPath.isEmpty()
               ? std::make_unique<Preferences>()
               : std::make_unique<Preferences>(options.preferencesPath);
}

std::unique_ptr<LoginItemService> loginItem(const SystemOptions& options)
{
    return std::make_unique<LoginItemService>(
        std::make_unique<XdgLoginEntry>(XdgAutostart(options.configHome)));
}

} // namespace

ModelServices makeSystemServices(const SystemOptions& options)
{
    ModelServices s;
    s.sampler = makeSystemNetSampler();
    s.preferences = preferences(options);
    s.sleepEvents = makeSystemSleepEvents();
    s.powerState = makeSystemPowerState();
    s.links = std::make_unique<SystemLinkDirectory>();
    s.desktop = std::make_unique<SystemDesktop>();
    s.wifi = std::make_unique<WiFiMonitor>(nl80211::Nl80211WiFiSource::open());
    s.loginItem = loginItem(options);
    s.publicAddress = std::make_unique<PublicIPService>(options.publicIP);
    s.dish = std::make_unique<StarlinkDishProbe>(options.dish);
    return s;
}

std::unique_ptr<AppViewModel> makeModel(bool demo, bool demoPrivacy, const SystemOptions& options)
{
    if (!demo) {
        auto model = std::make_unique<AppViewModel>(makeSystemServices(options));
        model->start();
        return model;
    }
    auto model = std::make_unique<AppViewModel>(DemoFixture::services(
        preferences(options), loginItem(options), std::make_unique<SystemDesktop>()));
    model->seed(DemoFixture::seed(demoPrivacy));
    return model;
}

} // namespace corvane
