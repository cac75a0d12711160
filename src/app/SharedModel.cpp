#include "app/SharedModel.h"

#include "demo/DemoFixture.h"
#include "model/AppViewModel.h"
#include "model/Preferences.h"
#include "platform/dbus/SystemWatchers.h"
#include "platform/netlink/SystemNetSampler.h"
#include "platform/sysfs/SystemLinks.h"
#include "services/LoginItemService.h"
#include "services/PublicIPService.h"
#include "services/WiFiMonitor.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QTimer>

namespace corvane {

ModelServices makeSystemServices(const SystemOptions& options)
{
    ModelServices s;
    const bool demo = DemoFixture::isActive();
    s.sampler = makeSystemNetSampler();
    s.preferences = options.preferencesPath.isEmpty()
                        ? std::make_unique<Preferences>()
                        : std::make_unique<Preferences>(options.preferencesPath);
    if (!demo) {
        // A demo model never samples: no watchers, and no live Wi-Fi monitor either.
        s.sleepEvents = makeSystemSleepEvents();
        s.powerState = makeSystemPowerState();
        s.wifi = std::make_unique<WiFiMonitor>();
    }
    s.classify = [](const std::string& name) { return SystemLinks::kind(name); };
    s.localIPv4 = [](const std::string& name) { return SystemLinks::localIPv4(name); };
    s.upInterfaces = [] { return SystemLinks::upInterfaces(); };
    s.openUrl = [](const QUrl& url) {
        // Queued so that a slow URL handler never blocks the click that asked for it.
        QTimer::singleShot(0, qApp, [url] { QDesktopServices::openUrl(url); });
    };
    s.copyText = [](const QString& text) {
        if (QClipboard* clipboard = QGuiApplication::clipboard())
            clipboard->setText(text, QClipboard::Clipboard);
    };
    s.loginItem = std::make_unique<LoginItemService>(XdgAutostart(options.configHome));
    s.publicIPService = std::make_unique<PublicIPService>(options.publicIP);
    s.dish = options.dish;
    return s;
}

AppViewModel& sharedModel()
{
    // Thread-safe once-only creation; the application object owns (and finally destroys) it.
    static AppViewModel* const model = new AppViewModel(makeSystemServices(), qApp);
    return *model;
}

} // namespace corvane
