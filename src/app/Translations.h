#pragma once

#include <QLocale>

namespace corvane {

// Installs the built-in translation for `locale` (the system's by default) into the running
// application. Without one for that language the texts stay English. Returns whether one
// was found; a later call replaces the earlier translation.
bool installTranslations(const QLocale& locale = QLocale());

} // namespace corvane
