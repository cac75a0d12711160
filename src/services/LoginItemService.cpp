#include "services/LoginItemService.h"

namespace corvane {

LoginItemService::LoginItemService(std::unique_ptr<Autostart> autostart, QObject* parent)
    : QObject(parent), autostart_(std::move(autostart)), enabled_(autostart_->isEnabled())
{}

void LoginItemService::setEnabled(bool on)
{
    storeLastError(on ? autostart_->install() : autostart_->uninstall());
    refresh();
}

void LoginItemService::refresh()
{
    storeEnabled(autostart_->isEnabled());
}

void LoginItemService::storeEnabled(bool value)
{
    if (enabled_ == value)
        return;
    enabled_ = value;
    Q_EMIT enabledChanged();
}

void LoginItemService::storeLastError(std::optional<QString> value)
{
    if (lastError_ == value)
        return;
    lastError_ = std::move(value);
    Q_EMIT lastErrorChanged();
}

} // namespace corvane
