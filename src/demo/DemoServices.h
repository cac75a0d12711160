#pragma once

#include "model/AppViewModel.h"

#include <memory>

namespace corvane {

class Desktop;
class LoginItemService;
class Preferences;

namespace DemoFixture {

// Demo mode's services: the measurements and every answer are the fixed data set, and
// nothing reaches the kernel or the network. Preferences, the login item and the desktop
// are the caller's. The loop is never started; the composition root seeds the model.
ModelServices services(std::unique_ptr<Preferences> preferences,
                       std::unique_ptr<LoginItemService> loginItem,
                       std::unique_ptr<Desktop> desktop);

// The state demo mode shows, `privacy` as the mode to start in.
ModelSeed seed(bool privacy);

} // namespace DemoFixture
} // namespace corvane
