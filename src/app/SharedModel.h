#pragma once

namespace corvane {

class AppViewModel;
struct ModelServices;

// The services of a real run: kernel counters, D-Bus watchers, nl80211, the XDG autostart
// entry, the public-IP service and the dish at its fixed address.
ModelServices makeSystemServices();

// The process's one model, created on first use (after the QApplication) with the system's
// services, and owned by the application object.
AppViewModel& sharedModel();

} // namespace corvane
