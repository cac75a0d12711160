#pragma once

#include <QObject>

namespace corvane {

// Display sleep and wake as the sampling loop sees them: suspend/resume and the screen
// locker's active state both map here. Absent services simply never emit.
class SleepEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void displaysSlept();
    void displaysWoke();
};

// The system's power-saving state, read on every tick.
class PowerState : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual bool lowPowerMode() const = 0;
Q_SIGNALS:
    void lowPowerModeChanged(bool on);
};

} // namespace corvane
