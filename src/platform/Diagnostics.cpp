#include "platform/Diagnostics.h"

#include <cstring>

Q_LOGGING_CATEGORY(lcNetlink, "corvane.netlink", QtWarningMsg)
Q_LOGGING_CATEGORY(lcNl80211, "corvane.nl80211", QtWarningMsg)
Q_LOGGING_CATEGORY(lcDBus, "corvane.dbus", QtWarningMsg)

namespace corvane {

void reportFailure(const QLoggingCategory& category, FailureState& state, const char* what,
                   int error)
{
    const bool first = state.failed();
    if (first ? !category.isWarningEnabled() : !category.isDebugEnabled())
        return;
    QMessageLogger log(nullptr, 0, nullptr, category.categoryName());
    const char* detail = error != 0 ? std::strerror(error) : "";
    const char* separator = error != 0 ? ": " : "";
    if (first)
        log.warning("%s%s%s", what, separator, detail);
    else
        log.debug("%s%s%s (still)", what, separator, detail);
}

} // namespace corvane
