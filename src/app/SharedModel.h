#pragma once

#include "platform/autostart/XdgAutostart.h"
#include "services/PublicIPService.h"
#include "services/StarlinkProbe.h"

#include <QString>
#include <memory>

namespace corvane {

class AppViewModel;
struct ModelServices;

// Where a real run reads and writes and which hosts it may contact. The defaults are the
// product's; tests point every one of them somewhere harmless.
struct SystemOptions {
    QString preferencesPath;                // empty: $XDG_CONFIG_HOME/corvane/corvane.conf
    QString configHome = xdg::configHome(); // for the autostart entry
    PublicIPOptions publicIP;
    StarlinkProbe::Target dish = StarlinkProbe::dish();
};

// The services of a real run: kernel counters, D-Bus watchers, nl80211, the XDG autostart
// entry, the public-IP service and the dish.
ModelServices makeSystemServices(const SystemOptions& options = {});

// The process's model, made once the application object exists: sampling the system, or
// in demo mode seeded with the demo data and never sampling.
std::unique_ptr<AppViewModel> makeModel(bool demo, bool demoPrivacy,
                                        const SystemOptions& options = {});

} // namespace corvane
