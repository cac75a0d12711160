#include "app/tray/StatusNotifierItemAdaptor.h"

namespace corvane {

StatusNotifierItemAdaptor::StatusNotifierItemAdaptor(QObject* parent,
                                                     std::function<void(QPoint)> onActivate)
    : QDBusAbstractAdaptor(parent), onActivate_(std::move(onActivate))
{
    registerSniTypes();
}

void StatusNotifierItemAdaptor::publish(const SniState& next)
{
    const SniState prev = std::exchange(state_, next);
    // Hosts re-read everything on any signal; sending only the changed ones keeps the
    // per-tick traffic to what the user can see change.
    if (prev.title != next.title)
        Q_EMIT NewTitle();
    if (prev.icon != next.icon)
        Q_EMIT NewIcon();
    if (prev.toolTip != next.toolTip)
        Q_EMIT NewToolTip();
    if (prev.label != next.label || prev.labelGuide != next.labelGuide)
        Q_EMIT XAyatanaNewLabel(next.label, next.labelGuide);
}

void StatusNotifierItemAdaptor::Activate(int x, int y)
{
    onActivate_(QPoint(x, y));
}

void StatusNotifierItemAdaptor::SecondaryActivate(int x, int y)
{
    onActivate_(QPoint(x, y));
}

// There is no menu: everything, quitting included, lives in the panel.
void StatusNotifierItemAdaptor::ContextMenu(int x, int y)
{
    onActivate_(QPoint(x, y));
}

void StatusNotifierItemAdaptor::Scroll(int, const QString&) {}

} // namespace corvane
