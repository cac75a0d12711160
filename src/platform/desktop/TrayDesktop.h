#pragma once

#include "present/TrayPolicy.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <memory>

class QFileSystemWatcher;

namespace corvane {

// The process names (/proc/PID/comm) behind the StatusNotifierHost names on `bus`, then
// behind the watcher. Asks only the bus daemon, which answers at once.
QStringList trayHostProcesses(const QDBusConnection& bus);

// Follows what the desktop says about the tray panel's colour: Plasma's desktop theme and
// colour scheme (files under `configHome`), Xfce's panel and GTK theme (xfconf on `bus`).
// Other hosts report nothing, so their tone stays unknown.
class PanelToneWatcher : public QObject {
    Q_OBJECT

public:
    PanelToneWatcher(QDBusConnection bus, QString configHome, QObject* parent = nullptr);
    ~PanelToneWatcher() override;

    // Reads the tone for `host` and from then on watches the sources that host uses.
    void follow(TrayHost host);
    PanelTone tone() const { return tone_; }

    Q_SIGNAL void toneChanged();

private Q_SLOTS:
    void onXfconfChanged(const QString& channel, const QString& property);

private:
    void reread();
    PanelTone readPlasma() const;
    PanelTone readXfce() const;

    QDBusConnection bus_;
    QString configHome_;
    TrayHost host_ = TrayHost::unknown;
    PanelTone tone_ = PanelTone::unknown;
    std::unique_ptr<QFileSystemWatcher> files_;
    bool xfconfConnected_ = false;
};

} // namespace corvane
