#include "app/AppId.h"
#include "app/CommandLine.h"
#include "app/SharedModel.h"
#include "app/SingleInstance.h"
#include "app/Translations.h"
#include "app/tray/TrayItem.h"
#include "demo/DemoFixture.h"
#include "demo/PanelRenderer.h"
#include "model/AppViewModel.h"
#include "model/Preferences.h"
#include "platform/autostart/XdgAutostart.h"
#include "services/LoginItemService.h"
#include "ui/PanelWindow.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <cstdio>
#include <vector>

using namespace corvane;

namespace {

// Wayland lets no client place its own window, so the panel could not open at the tray.
// Where XWayland is there, the app runs through it, unless the user chose a platform; when
// that display refuses us (a nested or locked-down XWayland), Qt goes on to Wayland.
std::vector<char*> platformArguments(int argc, char** argv)
{
    std::vector<char*> args(argv, argv + argc);
    static char platform[] = "-platform";
    static char xcb[] = "xcb;wayland";
    bool chosen = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
    for (int i = 1; i < argc; ++i)
        chosen = chosen || qstrcmp(argv[i], "-platform") == 0;
    if (!chosen && qEnvironmentVariableIsSet("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsSet("DISPLAY")) {
        args.insert(args.begin() + 1, {platform, xcb});
    }
    args.push_back(nullptr);
    return args;
}

void perform(TrayAction action, AppViewModel& model, PanelWindow& panel)
{
    switch (action) {
    case TrayAction::openPanel:
        if (!panel.isVisible())
            panel.toggleAt(QCursor::pos());
        break;
    case TrayAction::stacked:
        model.setBarStyle(BarStyle::stacked);
        break;
    case TrayAction::wide:
        model.setBarStyle(BarStyle::wide);
        break;
    case TrayAction::bits:
        model.setUnits(RateUnits::bits);
        break;
    case TrayAction::bytes:
        model.setUnits(RateUnits::bytes);
        break;
    case TrayAction::launchAtLogin:
        model.loginItem().setEnabled(!model.loginItem().enabled());
        break;
    case TrayAction::quit:
        QApplication::quit();
        break;
    }
}

QStringList argumentList(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    // --help and --version need no display and no bus.
    const CommandLine::Request request = CommandLine::parse(argumentList(argc, argv));
    if (request != CommandLine::Request::run) {
        QCoreApplication core(argc, argv);
        installTranslations();
        return CommandLine::answer(request).value_or(2);
    }

    // A render run ends here, before any window or tray item exists, and never defers to a
    // running instance. The model is made once its application exists, which is when the
    // translation can go in.
    if (const std::optional<int> status = PanelRenderer::startupCheck(argc, argv, [] {
            installTranslations();
            return makeModel(true, DemoFixture::privacy());
        }))
        return *status;

    std::vector<char*> args = platformArguments(argc, argv);
    int qtArgc = static_cast<int>(args.size()) - 1;
    QApplication app(qtArgc, args.data());
    QApplication::setApplicationName(QStringLiteral("corvane"));
    QApplication::setApplicationVersion(QStringLiteral(CORVANE_VERSION));
    QApplication::setDesktopFileName(QLatin1String(appId));
    QApplication::setQuitOnLastWindowClosed(false);
    installTranslations();

    SingleInstance instance(QDBusConnection::sessionBus());
    if (instance.claim() == SingleInstance::Role::secondary) {
        std::fputs(qPrintable(QCoreApplication::translate(
                       "main", "Corvane is already running; its panel was opened.\n")),
                   stdout);
        return 0;
    }

    if (const auto failed = XdgAutostart().migrateLegacyEntry())
        qWarning("%s", qPrintable(*failed));

    const std::unique_ptr<AppViewModel> owner =
        makeModel(DemoFixture::isActive(), DemoFixture::privacy());
    AppViewModel& model = *owner;
    PanelWindow panel(&model);

    TrayItem tray;
    tray.setLabelInk(Preferences().labelInk());
    tray.setStyle(model.barStyle());
    const auto pushLabel = [&] { tray.setLabel(model.label(), model.current(), model.units()); };
    const auto pushMenu = [&] {
        tray.setMenuState({model.barStyle(), model.units(), model.loginItem().enabled()});
    };
    pushLabel();
    pushMenu();
    tray.setLabelImage(model.labelImage());
    QObject::connect(&model, &AppViewModel::labelChanged, &tray, pushLabel);
    QObject::connect(&model, &AppViewModel::labelImageChanged, &tray,
                     [&] { tray.setLabelImage(model.labelImage()); });
    QObject::connect(&model, &AppViewModel::barStyleChanged, &tray, [&] {
        tray.setStyle(model.barStyle());
        pushMenu();
    });
    QObject::connect(&model, &AppViewModel::unitsChanged, &tray, pushMenu);
    QObject::connect(&model.loginItem(), &LoginItemService::enabledChanged, &tray, pushMenu);
    QObject::connect(&tray, &TrayItem::activateRequested, &panel, &PanelWindow::toggleAt);
    // A click on the item that the host turns into its menu (GNOME) closes the panel, which
    // under XWayland never sees that click.
    QObject::connect(&tray, &TrayItem::menuOpened, &panel, &QWidget::hide);
    QObject::connect(&tray, &TrayItem::actionRequested, &panel,
                     [&](TrayAction a) { perform(a, model, panel); });
    QObject::connect(&instance, &SingleInstance::activateRequested, &panel,
                     [&] { perform(TrayAction::openPanel, model, panel); });

    tray.show();
    return QApplication::exec();
}
