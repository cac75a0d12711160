#include "app/SharedModel.h"
#include "app/tray/TrayItem.h"
#include "demo/PanelRenderer.h"
#include "model/AppViewModel.h"
#include "ui/PanelWindow.h"

#include <QApplication>

using namespace corvane;

int main(int argc, char** argv)
{
    // A render run ends here, before any window or tray item exists.
    if (const std::optional<int> status = PanelRenderer::startupCheck(
            argc, argv, []() -> AppViewModel& { return sharedModel(); }))
        return *status;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setDesktopFileName(QStringLiteral("corvane"));
    QApplication::setQuitOnLastWindowClosed(false);

    AppViewModel& model = sharedModel();

    TrayItem tray;
    tray.setStyle(model.barStyle());
    tray.setLabel(model.label());
    tray.setLabelImage(model.labelImage());
    QObject::connect(&model, &AppViewModel::labelChanged, &tray,
                     [&] { tray.setLabel(model.label()); });
    QObject::connect(&model, &AppViewModel::labelImageChanged, &tray,
                     [&] { tray.setLabelImage(model.labelImage()); });
    QObject::connect(&model, &AppViewModel::barStyleChanged, &tray,
                     [&] { tray.setStyle(model.barStyle()); });

    PanelWindow panel(&model);
    QObject::connect(&tray, &TrayItem::activateRequested, &panel, &PanelWindow::toggleAt);

    tray.show();
    model.start(); // construction already started the model; this does nothing more
    return QApplication::exec();
}
