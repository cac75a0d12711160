#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace corvane {

class AppViewModel;

// Draws the tray label or the whole panel into a PNG file without showing anything. Only
// demo data is ever rendered: outside demo mode the switches are refused.
namespace PanelRenderer {

// Runs before any application object exists. No render switch: none, and the normal run
// proceeds. Otherwise the process's exit status: 0 written, 1 render or write failure,
// 2 a render switch without demo mode.
// `makeModel` gives the demo model, asked for once the application object exists.
std::optional<int> startupCheck(int& argc, char** argv,
                                const std::function<std::unique_ptr<AppViewModel>()>& makeModel);

// The label at scale 4, white on a dark strip, and the panel at scale 2 framed on black.
bool renderLabel(AppViewModel& model, const QString& path);
bool render(AppViewModel& model, const QString& path);

// The pixels of either render, for tests; a null image when none can be made.
QImage labelImage(AppViewModel& model);
QImage panelImage(AppViewModel& model);

inline constexpr char refusal[] =
    "CORVANE_RENDER_PANEL requires CORVANE_DEMO=1 (never render live data)\n";

} // namespace PanelRenderer

} // namespace corvane
