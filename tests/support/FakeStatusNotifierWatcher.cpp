// The watcher is defined in its header; this unit gives the library its moc output.
#include "support/FakeStatusNotifierWatcher.h"
