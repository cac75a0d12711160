#pragma once

#include <QLoggingCategory>
#include <utility>

// Warnings go to these categories; the details behind them are debug messages, shown with
// QT_LOGGING_RULES="corvane.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcNetlink)
Q_DECLARE_LOGGING_CATEGORY(lcNl80211)
Q_DECLARE_LOGGING_CATEGORY(lcDBus)

namespace corvane {

// Something that fails on every tick is worth one warning, not one per tick: the first
// failure after a success (or the start) warns, its repeats are debug detail.
class FailureState {
public:
    // True when this failure begins a failure state.
    bool failed() { return !std::exchange(failing_, true); }
    void succeeded() { failing_ = false; }

private:
    bool failing_ = false;
};

// Logs `what` (with errno's text when `error` is not 0) on `category`: a warning when it
// begins a failure state of `state`, debug detail while that state goes on.
void reportFailure(const QLoggingCategory& category, FailureState& state, const char* what,
                   int error = 0);

} // namespace corvane
