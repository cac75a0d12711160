#pragma once

#include "services/SystemPorts.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace corvane {

// Launch at login, as the panel's switch sees it. Main thread only; the file
// operations are synchronous. Each property notifies only when its value changes.
class LoginItemService : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled NOTIFY enabledChanged)

public:
    // Reads the current state once; lastError starts as none.
    explicit LoginItemService(std::unique_ptr<Autostart> autostart, QObject* parent = nullptr);

    bool enabled() const { return enabled_; }
    // Why the last setEnabled() failed; none after a success.
    const std::optional<QString>& lastError() const { return lastError_; }

    // Registers (true) or unregisters (false), records the outcome in lastError and
    // then re-reads the state, so `enabled` shows what is on disk, not what was asked.
    void setEnabled(bool on);
    // Re-reads the state; leaves lastError alone.
    void refresh();

Q_SIGNALS:
    void enabledChanged();
    void lastErrorChanged();

private:
    void storeEnabled(bool value);
    void storeLastError(std::optional<QString> value);

    std::unique_ptr<Autostart> autostart_;
    bool enabled_ = false;
    std::optional<QString> lastError_;
};

} // namespace corvane
